# Sourced by check-format.sh and format-tree.sh, so that both cover the same files.
# format_sources <tree> <clang-format options...>: runs clang-format (CLANG_FORMAT names another) with those options,
# from the top of <tree>, over every source .clang-format governs: the headers and sources of the product, its tests,
# benchmarks and fuzz targets, leaving out build folders and fuzz corpora. Fails when clang-format fails on any file.
format_sources() {
    local tree=$1 folder
    shift
    cd "$tree"
    local folders=()
    for folder in platform common driver app setup tools tests bench fuzz; do
        [ -d "$folder" ] && folders+=("$folder")
    done
    ((${#folders[@]})) || { echo "format: no sources under $(pwd)" >&2; return 1; }
    find "${folders[@]}" \( -name build -o -name corpus \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) \
        -print0 | xargs -0 -r -n 64 -P "$(nproc)" "${CLANG_FORMAT:-clang-format}" --style=file "$@"
}
