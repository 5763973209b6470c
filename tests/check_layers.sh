#!/usr/bin/env bash
# Fails on any include against the layers: base depends on nothing; the
# surface interfaces on the base; the core subsystems on both; a shared
# binding helper (surface/<folder>/) on those and its own folder; a binding
# on those and any helper, never on another binding; app on everything.
# Platform headers stay out of the base, the interfaces and the core; SDL is
# for the SDL binding and the text helper only, Xlib for the X11 and SDL
# bindings and the resolution rule (dpi/).
src=${1:?usage: check_layers.sh SRC_DIR}
bindings=" headless sdl x11 win32 "
core=" geometry raster backdrop captions music "

layer() {  # the layer of a path relative to src/
  local top=${1%%/*} rest=${1#*/}
  case $top in
    base | app) echo "$top" ;;
    surface)
      if [[ $rest != */* ]]; then echo interface
      elif [[ $bindings == *" ${rest%%/*} "* ]]; then echo "binding:${rest%%/*}"
      else echo "helper:${rest%%/*}"; fi ;;
    *) if [[ $core == *" $top "* ]]; then echo core; else echo "unknown:$top"; fi ;;
  esac
}

allowed() {  # may a file of layer $1 include one of layer $2?
  case $1 in
    app) return 0 ;;
    base) [[ $2 == base ]] ;;
    interface) [[ $2 == base || $2 == interface ]] ;;
    core) [[ $2 == base || $2 == interface || $2 == core ]] ;;
    helper:*) [[ $2 == base || $2 == interface || $2 == "$1" ]] ;;
    binding:*) [[ $2 == base || $2 == interface || $2 == helper:* || $2 == "$1" ]] ;;
    *) return 1 ;;
  esac
}

platform='^(SDL|X11/|fontconfig|png\.h|unistd\.h|fcntl\.h|poll\.h|signal\.h|sys/|windows\.h)'
violations=0 files=0
while IFS= read -r file; do
  rel=${file#"$src"/}
  from=$(layer "$rel")
  files=$((files + 1))
  while IFS=: read -r line text; do
    [[ $text =~ \#[[:space:]]*include[[:space:]]*([<\"])([^>\"]+) ]] || continue
    header=${BASH_REMATCH[2]}
    if [[ ${BASH_REMATCH[1]} == '"' ]]; then
      to=$(layer "$header")
      allowed "$from" "$to" && continue
      why="$from may not include $to"
    else
      case $from in base | interface | core) [[ $header =~ $platform ]] || continue ;;
        binding:sdl | helper:text) continue ;;
        binding:x11 | helper:dpi | helper:xlib) [[ $header == SDL* ]] || continue ;;
        *) [[ $header == SDL* || $header == X11/* ]] || continue ;;
      esac
      why="$from may not use the platform header"
    fi
    echo "$rel:$line: $header ($why)"
    violations=$((violations + 1))
  done < <(grep -nE '^\s*#\s*include' "$file")
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)
if ((violations > 0)); then
  echo "$violations includes against the layers"; exit 1
fi
echo "layers hold: $files files checked"
