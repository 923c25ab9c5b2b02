# The icon resource is made at build time by the fixture script.
if(WIN32)
  set(_ico ${CMAKE_CURRENT_BINARY_DIR}/${name}/fixture.ico)
  add_custom_command(OUTPUT ${_ico}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${name}
    COMMAND python3 ${CMAKE_SOURCE_DIR}/core/tests/doubles/make_test_icon.py alpha ${_ico}
    DEPENDS ${CMAKE_SOURCE_DIR}/core/tests/doubles/make_test_icon.py)
  set_source_files_properties(${dir}/icon.rc PROPERTIES OBJECT_DEPENDS ${_ico})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name})
endif()
