# SPDX-License-Identifier: BSD-2-Clause
# bash completion for cellpaint: options, then file names.
_cellpaint()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
    -m | --margin | -w | --chroma-weight | -s | --size)
        return # a number, or COLSxLINES
        ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-h --help -m --margin -b --bw -p --perceptive
            -w --chroma-weight -y --yiq -d --dither -s --size' -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _cellpaint cellpaint
