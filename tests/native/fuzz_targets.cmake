# The fuzz targets, one per parser: tests/fuzz/<name>_fuzz.cpp. Read by the
# native build and by the CTest registration of the native checks.
set(VORN_FUZZ_TARGETS
  ini_file
  query_pairs
  http_url
  redirect
  version_number
  package_url
  zip_entry_name
  zip_entry_extra
  launch_params
  user_info
  ecdsa_encoding
  resume_record
  package_manifest
  installed_files
)
