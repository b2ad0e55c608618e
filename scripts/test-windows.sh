#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs every
# Windows test program under Wine on a virtual X display (Xvfb) of its own:
# the game's logic, front end, containers, media, shell and installer core,
# the Windows backend's own tests, the end-to-end runs of zarnik.exe (also
# from the unpacked portable zip) and of setup.exe from the unpacked package
# zip (once more with the Czech code page). The shortcuts those tests leave are then read on the host with
# lnkinfo, and the screenshots are kept as PNG files: setup.exe's window and
# every box in build-win/setup-shots/, the game's screens in
# build-win/game-shots/.
#
# The Wine prefix is build-win/wineprefix (or $WINEPREFIX), made on first use.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build-windows.sh
WIN_BUILD_DIR=${WIN_BUILD_DIR:-build-win}
root=$(pwd)
export WINEPREFIX=${WINEPREFIX:-$root/$WIN_BUILD_DIR/wineprefix}
# Wine's own messages off; no prompts to fetch Mono or Gecko.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=
# Wine's server and services, and Xvfb, must not outlive the script: they
# hold its output open (CI pipes it into a log).
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A display of its own; Xvfb picks a free number and writes it.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
display=$(cat "$display_file")
rm -f "$display_file"
if ! [[ $display =~ ^[0-9]+$ ]]; then
  echo "test-windows: Xvfb gave no display within 10 s (is xvfb installed? scripts/deps.sh" \
    "--windows): the Windows tests need one and are not run." >&2
  exit 1
fi
export DISPLAY=:$display

start=$(date +%s)
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1  # one server for every test program
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
fi
# The tests' windows are not managed by a window manager (there is none on
# the virtual display): Wine would otherwise wait 2 s at every window hidden.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
echo "Wine prefix ready: $(( $(date +%s) - start )) s"

# The package as a player downloads it, unpacked where the installer's
# end-to-end run starts setup.exe.
rm -rf "$WINEPREFIX/drive_c/zarnik-pkg" "$WINEPREFIX"/drive_c/zarnik-setup-links* \
  "$WINEPREFIX"/drive_c/zarnik-setup-shots*
unzip -q "$WIN_BUILD_DIR/zarnik-windows.zip" -d "$WINEPREFIX/drive_c/zarnik-pkg-tmp"
mv "$WINEPREFIX/drive_c/zarnik-pkg-tmp/zarnik" "$WINEPREFIX/drive_c/zarnik-pkg"
rmdir "$WINEPREFIX/drive_c/zarnik-pkg-tmp"

# The portable package likewise, where the game's end-to-end run plays it.
rm -rf "$WINEPREFIX/drive_c/zarnik-portable-pkg"
unzip -q "$WIN_BUILD_DIR/zarnik-windows-portable.zip" -d "$WINEPREFIX/drive_c/zarnik-portable-pkg"

# The Czech locale, for the installer's run with the Czech code page: Wine
# takes a process's ANSI code page from its locale and names the files in
# the locale's character set, so the locale must exist. It is compiled into
# the build folder (LOCPATH, tests/win32/CMakeLists.txt), not into the system.
if [ ! -d "$WIN_BUILD_DIR/locales/cs_CZ.UTF-8" ]; then
  mkdir -p "$WIN_BUILD_DIR/locales"
  localedef -i cs_CZ -f UTF-8 "$WIN_BUILD_DIR/locales/cs_CZ.UTF-8" ||
    echo "cannot compile the Czech locale: the run with the Czech code page fails" >&2
fi

status=0
(cd "$WIN_BUILD_DIR" && ctest --output-on-failure -j "$(nproc)" --timeout 900) || status=$?

# The three programs of the package carry their identity (icon, version
# information and manifest are resources) and no debug sections.
for exe in hra.xxx setup.exe uninstall.exe; do
  headers=$(x86_64-w64-mingw32-objdump -p -h "$WINEPREFIX/drive_c/zarnik-pkg/$exe")
  if ! grep -Eq 'Entry 2 [0-9a-f]+ [0-9a-f]*[1-9a-f][0-9a-f]* Resource Directory' <<<"$headers"; then
    echo "FAILED: $exe has no resource directory" >&2
    status=1
  elif grep -q ' \.debug' <<<"$headers"; then
    echo "FAILED: $exe carries debug sections" >&2
    status=1
  else
    echo "objdump: $exe has its resources and no debug sections"
  fi
done

# The shortcuts written through the shell, read back on the host: lnkinfo
# must name the target and the working directory.
drive_c=$WINEPREFIX/drive_c
field() { sed -n "s/^\t$1[[:space:]]*: //p" | head -1; }
check_link() {  # file, target, working directory[, code page of its 8-bit paths]
  local info path dir
  if ! info=$(lnkinfo -c "${4:-windows-1252}" "$1" 2>&1); then
    echo "FAILED: lnkinfo cannot read $1: $info" >&2
    status=1
    return
  fi
  path=$(field "Local path" <<<"$info")
  dir=$(field "Working directory" <<<"$info")
  if [ "$path" != "$2" ] || [ "$dir" != "$3" ]; then
    echo "FAILED: $1 leads to \"$path\" in \"$dir\", expected \"$2\" in \"$3\"" >&2
    status=1
    return
  fi
  echo "lnkinfo: $1 -> $path (in $dir)"
}
tests_folder='C:\zarnik-tests\Hry\zarnik\'
for link in zarnik.lnk game.lnk setup.lnk; do
  check_link "$drive_c/zarnik-tests/links/$link" "${tests_folder}zarnik.exe" "$tests_folder"
done
# The game's own shortcut from the end-to-end run (kept beside its
# screenshots).
check_link "$drive_c/zarnik-e2e-shots/zarnik.lnk" 'C:\zarnik-e2e\zarnik.exe' 'C:\zarnik-e2e\'
# The installer's shortcuts from its end-to-end run (kept before the
# uninstaller removed them), named by their line in zarnik.ini: each leads
# to its program in the folder made in the chooser. Every one must be there.
setup_folder='c:\hry-e2e\nova\zarnik\'
for link in 4_zarnik 13_uninstall 14_zarnik 15_Zarnik 16_Zarnik 17_setup; do
  case $link in
    *uninstall) program=uninstall.exe ;;
    *setup) program=setup.exe ;;
    *) program=zarnik.exe ;;
  esac
  check_link "$drive_c/zarnik-setup-links/$link.lnk" "${setup_folder}${program}" "$setup_folder"
done

# The installations into Czech folders: Wine's shell keeps a shortcut's
# paths in the system's code page only, which lnkinfo is told.
czech_folder='C:\Hry a zábava\Žárník\zarnik\'
cp1250_folder='C:\Střílečky\zarnik\'
for line in 4 13 14 15 16 17; do
  case $line in
    13) program=uninstall.exe ;;
    17) program=setup.exe ;;
    *) program=zarnik.exe ;;
  esac
  check_link "$drive_c/zarnik-setup-links/czech_$line.lnk" "${czech_folder}${program}" \
    "$czech_folder"
  check_link "$drive_c/zarnik-setup-links-1250/cp1250_$line.lnk" "${cp1250_folder}${program}" \
    "$cp1250_folder" windows-1250
done

# The installer's window and boxes as the runs saw them, as PNG files to
# look at (the run with the Czech code page keeps its own folder).
shots=$WIN_BUILD_DIR/setup-shots
rm -rf "$shots"
mkdir -p "$shots"
for bmp in "$drive_c"/zarnik-setup-shots*/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$shots/$(basename "$bmp" .bmp).png" || status=1
done
echo "setup.exe's window: $(ls "$shots" | tr '\n' ' ')in $shots"
# The game's screens from its end-to-end run (the window switched from full
# screen to a framed window and back among them), and the backend's window
# test in both states.
game_shots=$WIN_BUILD_DIR/game-shots
rm -rf "$game_shots"
mkdir -p "$game_shots"
for bmp in "$drive_c"/zarnik-e2e-shots/*.bmp "$drive_c"/zarnik-window-shots/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$game_shots/$(basename "$bmp" .bmp).png" || status=1
done
echo "the game's screens: $(ls "$game_shots" | tr '\n' ' ')in $game_shots"
exit $status
