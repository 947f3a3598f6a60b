#!/usr/bin/env bash
# Compiler launcher: runs the compiler with the source and build folders written relative to the
# folder the compile runs in (the build folder with Ninja, a target's folder in it with
# Makefiles). clang records its whole command line in CodeView debug information, so this keeps
# the build machine's folders out of the PDBs and makes builds of one commit in two folders give
# the same bytes.
#   relative-paths.sh <source folder> <build folder> <compiler> <arguments...>
set -euo pipefail
source_dir=${1%/}
build_dir=${2%/}
shift 2
up=$(realpath -m --relative-to="$PWD" "$source_dir")/
here=$(realpath -m --relative-to="$PWD" "$build_dir")/
[ "$here" = "./" ] && here=""
arguments=()
for argument in "$@"; do
    argument=${argument//"$build_dir/"/"$here"}
    # The build folder's own prefix map has nothing left to map when the compile runs there.
    [[ "$argument" =~ ^(/clang:)?-ffile-prefix-map==$ ]] && continue
    arguments+=("${argument//"$source_dir/"/"$up"}")
done
exec "${arguments[@]}"
