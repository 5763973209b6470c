#!/usr/bin/env bash
# Fails when a core folder includes SDL, X11 or another platform header.
src=$1
hits=$(grep -rnE '#\s*include\s*[<"](SDL|X11/|fontconfig|png\.h|unistd\.h|sys/|windows\.h)' \
  "$src/app" "$src/geometry" "$src/raster" "$src/backdrop" "$src/captions" "$src/music" \
  "$src"/surface/*.h "$src"/surface/*.cpp 2>/dev/null | grep -v 'app/main.cpp')
if [ -n "$hits" ]; then
  echo "platform headers in the core:"; echo "$hits"; exit 1
fi
echo "core is platform-free"
