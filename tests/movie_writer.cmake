# The movie writer: headers, positions, pixels, codecs, the audio track, the
# failure paths, and the conversion's frame pipeline.
vistrom_add_test(tst_movie tst_movie.cpp movie_writer_tools.h TIMEOUT 300)
