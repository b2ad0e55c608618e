# Writes the resource script of the game's icon for the Windows programs:
# one icon image (RT_ICON, type 3) for each PNG file, as Windows takes PNG
# images in icons, and the icon group (RT_GROUP_ICON, type 14) that lists
# them, written out byte for byte, since the images are no .ico file.
#
#   cmake -DOUT=<file.rc> -DSIZES=16;32;... -DPNG_DIR=<icons/hicolor> -P windows_icon_rc.cmake
set(images "")
set(entries "")
list(LENGTH SIZES count)
set(id 1)
foreach(size ${SIZES})
  set(png ${PNG_DIR}/${size}x${size}/apps/zarnik.png)
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "windows_icon_rc: no ${png}")
  endif()
  file(SIZE ${png} bytes)
  # Width and height are bytes, 0 meaning 256; two bytes make a word.
  math(EXPR side "${size} % 256")
  math(EXPR both "${side} + ${side} * 256")
  string(APPEND images "${id} 3 \"${png}\"\n")
  string(APPEND entries "  ${both}, 0, 1, 32, ${bytes}L, ${id},\n")
  math(EXPR id "${id} + 1")
endforeach()
string(REGEX REPLACE ",\n$" "\n" entries "${entries}")
file(WRITE ${OUT}.new "${images}1 14\nBEGIN\n  0, 1, ${count},\n${entries}END\n")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
