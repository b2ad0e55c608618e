# Writes the two texts a Windows zip holds beside the programs into OUT:
#   LICENSE.txt  the GNU GPL's text (LICENSE), then the pieces of others
#                inside the programs with their licences (COPYRIGHT, the
#                copyright file of the release)
#   CTIMNE.txt   the short Czech readme README, @ZARNIK_VERSION@ filled in,
#                UTF-8 with a byte-order mark, so that Notepad of every
#                Windows reads its letters right
# both with Windows line ends. Run as cmake -DOUT=... -DLICENSE=...
# -DCOPYRIGHT=... -DREADME=... -DZARNIK_VERSION=... -P windows_texts.cmake.
foreach(v OUT LICENSE COPYRIGHT README ZARNIK_VERSION)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "windows_texts.cmake: ${v} not given")
  endif()
endforeach()

function(write_crlf path text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${path}.tmp" "${text}")
  file(RENAME "${path}.tmp" "${path}")
endfunction()

file(READ "${LICENSE}" gpl)
file(READ "${COPYRIGHT}" others)
write_crlf("${OUT}/LICENSE.txt" "${gpl}
==========================================================================

Zarnik is licensed under the GNU General Public License above, version 3
or (at your option) any later version. The programs in this package also
hold pieces of others, under licences of their own; the copyright file of
the release names them all, with those licences:

${others}")

file(READ "${README}" readme)
string(CONFIGURE "${readme}" readme @ONLY)
string(ASCII 239 187 191 bom)
write_crlf("${OUT}/CTIMNE.txt" "${bom}${readme}")
