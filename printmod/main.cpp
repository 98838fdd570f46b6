#include "printmod/PrintModule.h"
#include "printmod/preview/RichPreviewPages.h"

int main(int argc, char **argv)
{
    kelpa::preview::InstallRichPreview();
    return kelpa::printmod::RunPrintModule(argc, argv);
}
