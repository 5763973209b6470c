#!/usr/bin/env bash
# Fails when a core file includes SDL, X11 or another platform header.
src=$1
files=$(ls "$src"/app/*.h "$src"/app/*.cpp "$src"/surface/*.h "$src"/surface/*.cpp 2>/dev/null | grep -v '/app/main\.cpp$')
files="$files $(find "$src/geometry" "$src/raster" "$src/backdrop" "$src/captions" "$src/music" -name '*.h' -o -name '*.cpp')"
hits=$(grep -nHE '#\s*include\s*[<"](SDL|X11/|fontconfig|png\.h|unistd\.h|fcntl\.h|sys/|windows\.h|surface/(sdl|headless|text|os|x11)/)' $files)
if [ -n "$hits" ]; then
  echo "platform headers in the core:"; echo "$hits"; exit 1
fi
echo "core is platform-free: $(echo $files | wc -w) files checked"
