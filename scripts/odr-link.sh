#!/usr/bin/env bash
# Links one program after checking that its translation units agree on every name they share.
# The build's objects carry g++'s intermediate language beside their machine code
# (-flto -ffat-lto-objects); lto-dump reads the intermediate language of the program's objects and
# of every member of the archives it links that carries some, and merges their types and symbols
# as a link with link-time optimisation would, without compiling anything again. One name with
# two different definitions (an enum or a record defined twice differently, a variable or function
# declared with other types than it is defined with) fails the link. The program itself is then
# linked from the machine code. CMake runs this as the linker launcher of the KELVO_ODR_CHECK build:
#   scripts/odr-link.sh <lto-dump> <compiler> <link arguments>...
set -euo pipefail
lto_dump=$1
shift

# Prints 1 or 0 for each object objdump reads (the members of an archive in their order): whether
# it carries intermediate language.
carries_ir() {
  objdump -h "$@" | awk '/:     file format / { n++; ir[n] = 0; next }
    $2 ~ /^\.gnu\.lto_/ { ir[n] = 1 }
    END { for (i = 1; i <= n; i++) print ir[i] }'
}

objects=() archives=()
declare -A seen=()
for arg in "$@"; do
  case $arg in
    @*)
      echo "odr-link: response files are not read ($arg)" >&2
      exit 1
      ;;
    *.o | *.a) ;;
    *) continue ;;
  esac
  [ -z "${seen[$arg]:-}" ] || continue
  seen[$arg]=1
  if [[ $arg == *.o ]]; then objects+=("$arg"); else archives+=("$arg"); fi
done

# lto-dump stops reading at the first input without intermediate language, and still succeeds:
# the program's own objects must all carry it, and archive members without it (other libraries')
# are left out.
inputs=("${objects[@]}")
mapfile -t ir < <(carries_ir "${objects[@]}")
for i in "${!objects[@]}"; do
  if [ "${ir[i]:-0}" != 1 ]; then
    echo "odr-link: ${objects[i]} carries no intermediate language (compiled without -flto?)" >&2
    exit 1
  fi
done
for archive in "${archives[@]}"; do
  # A member is read at its offset in the archive ("libx.a@0x1f2"), as the linker's plugin hands
  # them over.
  mapfile -t offsets < <(ar tvO "$archive" | awk '{ print $NF }')
  mapfile -t ir < <(carries_ir "$archive")
  if [ "${#offsets[@]}" != "${#ir[@]}" ]; then
    echo "odr-link: the members of $archive could not be read" >&2
    exit 1
  fi
  for i in "${!offsets[@]}"; do
    if [ "${ir[i]}" = 1 ]; then inputs+=("$archive@${offsets[i]}"); fi
  done
done
"$lto_dump" -Werror=odr -Werror=lto-type-mismatch "${inputs[@]}"
exec "$@"
