#!/bin/sh
# Redraws the embedded pictures into resources/images with the small Qt tool
# in tools/draw_images. The PNG files are committed; run this only to change them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
c++ -std=c++20 -O1 -fPIC "$root/tools/draw_images/draw_images.cpp" "$root/tools/draw_images/app_icon.cpp" -o "$work/draw_images" \
    $(pkg-config --cflags --libs Qt6Gui)
"$work/draw_images" "$here/images"
