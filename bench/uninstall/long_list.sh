#!/bin/bash
# The uninstaller on a settings file that lists LINES distinct files in the
# game folder beside an installation's record of eight files, in a
# throw-away HOME:
#   bench/uninstall/long_list.sh build/installer/uninstaller 100000
set -e
h=$(mktemp -d /tmp/zarnik-unb-XXXXXX)
d=$h/Hry/zarnik; mkdir -p $d $h/.config $h/Desktop $h/.local/share/applications
for f in zarnik.exe obrazky.xxx menu.xxx menu.mid hra.mid zvuk.xxx setup.exe uninstall.exe; do echo x > $d/$f; done
{ printf '800\r\n600\r\n\r\n%s/zarnik.lnk\r\n' $d
  for f in zarnik.exe obrazky.xxx menu.xxx menu.mid hra.mid zvuk.xxx setup.exe; do printf '%s/%s\r\n' $d $f; done
  seq 1 $2 | sed "s|.*|$d/listed&.txt\r|"
  printf '%s/.config/zarnik.ini\r\n' $h; } > $h/.config/zarnik.ini
sum=$(printf 'x\n' | sha256sum | cut -d' ' -f1)
{ printf 'ZARNIK-INSTALL-RECORD 1\r\n'
  printf 'folder found %s %s\r\n' "$(stat -c '%d:%i' $d)" $d
  printf 'game %s\r\n' $d
  for f in zarnik.exe obrazky.xxx menu.xxx menu.mid hra.mid zvuk.xxx setup.exe uninstall.exe; do
    printf 'file 2 %s %s/%s\r\n' $sum $d $f
  done; } > $h/.config/zarnik-install.rec
wc -l < $h/.config/zarnik.ini
HOME=$h /usr/bin/time -f "%e s wall, %U s user, %M KB max" $1 --yes > /dev/null
rm -rf $h
