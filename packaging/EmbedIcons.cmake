# cmake -DOUTPUT=FILE.cpp -DICONS="a.png;b.png" -P EmbedIcons.cmake
# Writes a C++ source holding the PNG files as the byte arrays that
# app/WindowIcon.h declares, so the window needs no file to show its icon.
set(arrays "")
set(entries "")
set(index 0)
foreach(icon IN LISTS ICONS)
  file(READ "${icon}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char icon${index}[${size}] = {${bytes}};\n")
  string(APPEND entries "    {icon${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(CONFIGURE OUTPUT "${OUTPUT}" @ONLY CONTENT [[
// Made by packaging/EmbedIcons.cmake from the icons in packaging/icons.
#include "app/WindowIcon.h"

namespace {
@arrays@}  // namespace

const EmbeddedPng kWindowIconFiles[] = {
@entries@};
const int kWindowIconCount = @index@;
]])
