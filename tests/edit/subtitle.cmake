# Subtitle page and snapshots: the real engine on media the test makes itself,
# with SDL's dummy sound device.
velmora_add_qtest(tst_edit_subtitle SOURCES tst_subtitle.cpp
  LIBS vm_queue vm_edit TIMEOUT 240 LABELS edit)
set_property(TEST tst_edit_subtitle APPEND PROPERTY ENVIRONMENT "SDL_AUDIODRIVER=dummy")
