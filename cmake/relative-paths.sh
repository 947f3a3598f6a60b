#!/usr/bin/env bash
# Compiler launcher: runs the compiler with the source and build folders written relative to the
# build folder, where the build runs. clang records its whole command line in CodeView debug
# information, so this keeps the build machine's folders out of the PDBs and makes builds of one
# commit in two folders give the same bytes.
#   relative-paths.sh <source folder> <build folder> <compiler> <arguments...>
set -euo pipefail
source_dir=${1%/}
build_dir=${2%/}
shift 2
up=$(realpath --relative-to="$build_dir" "$source_dir")/
arguments=()
for argument in "$@"; do
    argument=${argument//"$build_dir/"/}
    # The build folder's own prefix map has nothing left to map.
    [ "$argument" = "-ffile-prefix-map==" ] && continue
    arguments+=("${argument//"$source_dir/"/"$up"}")
done
exec "${arguments[@]}"
