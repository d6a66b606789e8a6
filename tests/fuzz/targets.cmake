# The fuzz targets, by the name of their corpus folder; the program of
# each is fuzz_<name>, its source tests/fuzz/fuzz_<name>.cpp.
set(tavorin_fuzz_targets
  preset_file
  settings_file
  number_text
  engine_tile
  descriptor)
