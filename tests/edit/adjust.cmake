# Adjust, Effect and Watermark pages: their rules without a player, and the
# dialog on generated clips with the real engine (conversions checked with
# ffprobe / the ffmpeg tool).
velmora_add_qtest(tst_adjust_rules SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_adjust_rules.cpp
  LIBS vm_edit TIMEOUT 60 LABELS edit)
velmora_add_qtest(tst_adjust_dialog SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_adjust_dialog.cpp
  LIBS vm_queue vm_edit TIMEOUT 300 LABELS edit FIXTURES media)
set_property(TEST tst_adjust_dialog APPEND PROPERTY ENVIRONMENT "SDL_AUDIODRIVER=dummy")
