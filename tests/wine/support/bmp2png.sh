#!/bin/sh
# Converts the .bmp screenshots the GUI tests saved in FOLDER into .png files
# beside them, for people to look at. Usage: bmp2png.sh FOLDER
set -eu
folder=$1
[ -d "$folder" ] || exit 0
for bmp in "$folder"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png"
done
