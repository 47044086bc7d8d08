# SPDX-License-Identifier: BSD-2-Clause
# fish completion for cellpaint: options, then file names.
complete -c cellpaint -s h -l help -d 'display the usage text'
complete -c cellpaint -s m -l margin -x -d 'add a margin to the left of the image'
complete -c cellpaint -s b -l bw -d 'display the image in black/white mode'
complete -c cellpaint -s p -l perceptive -d 'match colours by CIE94 on CIELAB'
complete -c cellpaint -s w -l chroma-weight -x -d 'weighting for chroma in -p and -y modes'
complete -c cellpaint -s y -l yiq -d 'match colours by distance in YIQ'
complete -c cellpaint -s d -l dither -d 'diffuse each pixel\'s colour error to its neighbours'
complete -c cellpaint -s s -l size -x -d 'fit COLSxLINES instead of the terminal (either may be left out)'
