# The AVI writer: packed DIBs, stream headers, positions, pixels, codecs, and
# the audio track copied into the movie.
vistrom_add_test(tst_aviwriter tst_aviwriter.cpp TIMEOUT 120)
vistrom_add_test(tst_audiotrack tst_audiotrack.cpp TIMEOUT 120)
