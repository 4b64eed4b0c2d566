# The audit trail's message table (audit_events.mc) for one program: windmc
# turns it into a resource script and one table per language in the
# program's build folder, which its own resource script includes as
# "audit_events.rc". Both programs carry the table, so Event Viewer finds the
# texts in whichever program the source registration names first.
function(orvane_message_table target rc_file)
  get_filename_component(rc_name "${CMAKE_RC_COMPILER}" NAME)
  string(REPLACE "windres" "windmc" windmc "${rc_name}")
  find_program(ORVANE_WINDMC NAMES "${windmc}" windmc REQUIRED)
  set(mc "${CMAKE_SOURCE_DIR}/store/audit_events.mc")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/messages")
  # -C 65001: the .mc is UTF-8; -U: the table holds UTF-16, so the Japanese
  # texts do not depend on the code page of the PC that shows them.
  add_custom_command(
    OUTPUT "${out}/audit_events.rc" "${out}/audit_events_MSG00409.bin"
           "${out}/audit_events_MSG00411.bin"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${out}/header"
    COMMAND ${ORVANE_WINDMC} -U -C 65001 -b -r "${out}" -h "${out}/header" "${mc}"
    DEPENDS "${mc}"
    COMMENT "Message table of ${target}")
  target_include_directories(${target} PRIVATE "${out}")
  set_property(SOURCE "${rc_file}" APPEND PROPERTY OBJECT_DEPENDS
    "${out}/audit_events.rc;${out}/audit_events_MSG00409.bin;${out}/audit_events_MSG00411.bin")
endfunction()
