# The libFuzzer targets, one per source file tests/fuzz/<name>.cpp; read by
# the fuzz build and by the native build that runs them.
set(ORVANE_FUZZ_TARGETS
  fuzz_card_list
  fuzz_card_poll
  fuzz_comment
  fuzz_login_record
  fuzz_record_values
  fuzz_sound_key
)
