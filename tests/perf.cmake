# The conversion's frame pipeline: the same movie, byte for byte, as the
# writer's one-frame-at-a-time path. Speed is measured under bench/, not here.
vistrom_add_test(tst_pipeline tst_pipeline.cpp TIMEOUT 120)
