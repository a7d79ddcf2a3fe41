# The fuzz targets and what each links: <name>Fuzzer.cpp becomes <build>/fuzz/<name>Fuzzer.
# make fuzz runs them at length, make test a short pass of each.
set(TAVRI_FUZZ_NAMES
  LasReader
  LazReader
  ZipArchive
  ReaderWriterZip
  ConfigurationFile
  PylonList
  WireFile
  LabelFile
  PathFile
  SeaConfiguration
  TGAReader)
set(TAVRI_FUZZ_LIBS_LasReader tinlas)
set(TAVRI_FUZZ_LIBS_LazReader tinlas)
set(TAVRI_FUZZ_LIBS_ZipArchive tavri_zip tavri_fuzz_zip_seeds)
set(TAVRI_FUZZ_LIBS_ReaderWriterZip tavri_zip tavri_fuzz_zip_seeds)
set(TAVRI_FUZZ_LIBS_ConfigurationFile osgTAVRI)
set(TAVRI_FUZZ_LIBS_PylonList osgTAVRI)
set(TAVRI_FUZZ_LIBS_WireFile osgTAVRI)
set(TAVRI_FUZZ_LIBS_LabelFile osgTAVRI)
set(TAVRI_FUZZ_LIBS_PathFile osgTAVRI)
set(TAVRI_FUZZ_LIBS_SeaConfiguration Sea)
set(TAVRI_FUZZ_LIBS_TGAReader SeaInternals)
