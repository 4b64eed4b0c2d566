# One map of both programs' resource symbols, numbers and texts, made from
# their resource headers and scripts (tools/resource_map.py) into
# build/<preset>/resource_map/: resource_map.json for Python checks,
# resource_map.names for the UI driver, resource_map.h (ORVANE_CAPTION) for
# the test doubles. Remade whenever one of the sources changes.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(ORVANE_RESOURCE_MAP_DIR ${CMAKE_BINARY_DIR}/resource_map)
set(ORVANE_RESOURCE_MAP_SOURCES
  ${CMAKE_SOURCE_DIR}/store/shared_names.h
  ${CMAKE_SOURCE_DIR}/setting/resource.h
  ${CMAKE_SOURCE_DIR}/setting/string_table.h
  ${CMAKE_SOURCE_DIR}/setting/setting.rc
  ${CMAKE_SOURCE_DIR}/checker/resource.h
  ${CMAKE_SOURCE_DIR}/checker/checker.rc)
add_custom_command(
  OUTPUT ${ORVANE_RESOURCE_MAP_DIR}/resource_map.json
         ${ORVANE_RESOURCE_MAP_DIR}/resource_map.names
         ${ORVANE_RESOURCE_MAP_DIR}/resource_map.h
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/resource_map.py ${ORVANE_RESOURCE_MAP_DIR}
          --names-from=${CMAKE_SOURCE_DIR}/store/shared_names.h
          setting:${CMAKE_SOURCE_DIR}/setting/resource.h,${CMAKE_SOURCE_DIR}/setting/string_table.h:${CMAKE_SOURCE_DIR}/setting/setting.rc
          checker:${CMAKE_SOURCE_DIR}/checker/resource.h:${CMAKE_SOURCE_DIR}/checker/checker.rc
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/resource_map.py ${ORVANE_RESOURCE_MAP_SOURCES}
  COMMENT "Resource map"
  VERBATIM)
add_custom_target(orvane_resource_map_files ALL
  DEPENDS ${ORVANE_RESOURCE_MAP_DIR}/resource_map.json
          ${ORVANE_RESOURCE_MAP_DIR}/resource_map.names
          ${ORVANE_RESOURCE_MAP_DIR}/resource_map.h)
# Link this to include "resource_map.h".
add_library(orvane_resource_map INTERFACE)
target_include_directories(orvane_resource_map INTERFACE ${ORVANE_RESOURCE_MAP_DIR})
add_dependencies(orvane_resource_map orvane_resource_map_files)
