#!/bin/sh
# The editor installed into a prefix nobody may write (as /usr or /opt are), or one whose
# program folder everybody may write (a copy in /opt opened with mode 0777), started by an
# ordinary user under X with a document: it keeps its settings and batches in the user's own
# folders, shows no error, saves the document with its LF line ends and writes nothing beside
# itself. Arguments: the build folder, the cmake to install with, and "read-only" (the default)
# or "shared"; DISPLAY names the X server.
set -eu
build=$1
cmake=$2
mode=${3:-read-only}
[ -n "${DISPLAY:-}" ] || { echo "no X server in DISPLAY"; exit 1; }
t=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    chmod -R u+w "$t" 2>/dev/null || true
    rm -rf "$t"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }

"$cmake" --install "$build" --prefix "$t/prefix" >/dev/null
[ -f "$t/prefix/share/applications/kelpa.desktop" ] || fail "no desktop entry"
grep -qx "Exec=\"$t/prefix/bin/Kelpa32\" %F" "$t/prefix/share/applications/kelpa.desktop" || fail "desktop entry runs another program"
[ -f "$t/prefix/share/mime/packages/kelpa-eco.xml" ] || fail "no .eco type"
[ -f "$t/prefix/share/icons/hicolor/scalable/apps/kelpa.svg" ] || fail "no icon"
chmod -R a-w "$t/prefix"
if [ "$mode" = shared ]; then
    # Open to everybody, and someone else has been there before the user's first start.
    chmod 777 "$t/prefix/bin"
    mkdir "$t/prefix/bin/Batches"
    printf 'touch "%s/planted-ran"\n' "$t" > "$t/prefix/bin/Batches/Convert to PDF.bat"
    printf 'Maximized=Y\r\n' > "$t/prefix/bin/Kelpa.ini"
    touch "$t/prefix/bin/multi.dat"
    sleep 1
fi
chmod 755 "$t"
mkdir -p "$t/home" "$t/run" "$t/docs"
printf 'line one\nline two\n' > "$t/docs/notes.txt"
chmod 700 "$t/run"
as=""
if [ "$(id -u)" = 0 ]; then
    # The superuser may write anywhere: the user is an ordinary one.
    chown -R 65534:65534 "$t/home" "$t/run" "$t/docs"
    as="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
env -u QT_QPA_PLATFORM -u KELPA_PROGRAM_DIR HOME="$t/home" XDG_RUNTIME_DIR="$t/run" \
    XDG_CONFIG_HOME= XDG_DATA_HOME= $as "$t/prefix/bin/Kelpa32" "$t/docs/notes.txt" &
pid=$!

window() { # name pattern -> first visible window, waiting up to 20 s
    for _ in $(seq 200); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
        [ -n "$w" ] && { echo "$w"; return 0; }
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
press() { xdotool windowfocus --sync "$1" && xdotool key --clearmodifiers "$2"; }

# A first start: the About box, then the welcome.
w=$(window '^Information$') || fail "no About box"
press "$w" Escape
w=$(window '^Kelpa$') || fail "no welcome box"
press "$w" Return
main=$(window '^Kelpa 5') || fail "no main window"
sleep 0.5
for caption in Warning Error 'Folder creation' 'Cannot'; do
    xdotool search --onlyvisible --name "$caption" >/dev/null 2>&1 && fail "a box \"$caption\" is shown"
done
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers ctrl+End Return
xdotool type --delay 20 'line three'
xdotool key --clearmodifiers ctrl+s
sleep 0.5
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key --clearmodifiers x
for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the editor did not close"
pid=""

[ -s "$t/home/.config/kelpa/Kelpa.ini" ] || fail "settings not kept in ~/.config/kelpa"
[ -d "$t/home/.local/share/kelpa/Batches" ] || fail "no Batches folder in ~/.local/share/kelpa"
[ "$(cat "$t/docs/notes.txt")" = "$(printf 'line one\nline two\nline three')" ] || fail "document: $(od -c "$t/docs/notes.txt" | head -3)"
grep -q "$(printf '\r')" "$t/docs/notes.txt" && fail "CR written into an LF file"
[ -z "$(find "$t/prefix" -newer "$t/docs")" ] || fail "files written into the program folder: $(find "$t/prefix" -newer "$t/docs")"
[ -e "$t/home/.local/share/kelpa/Batches/Convert to PDF.bat" ] && fail "the planted batch was taken over"
[ -e "$t/planted-ran" ] && fail "the planted batch ran"
echo "installed editor ran from a $mode prefix"
