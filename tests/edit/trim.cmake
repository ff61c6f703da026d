# The edit dialog's preview, the Trim page and the row's Edit, on the real
# engine with SDL's dummy sound device.
velmora_add_qtest(tst_edit_trim SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tst_edit_trim.cpp
  LIBS vm_edit vm_queue TIMEOUT 300 LABELS edit FIXTURES media)
set_property(TEST tst_edit_trim APPEND PROPERTY ENVIRONMENT "SDL_AUDIODRIVER=dummy")
