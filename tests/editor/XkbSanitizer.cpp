// The system's X keyboard library reads past the end of a string it duplicates when strict
// string checks are on; that report is not ours and would end every X test of a sanitizer build.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_suppressions()
{
    return "interceptor_via_lib:libxkbcommon-x11\n";
}
#endif
