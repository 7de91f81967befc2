# Quartus data of the host's System folder: the option files of the Altera build stages and the filter
# of tool messages. Included from the root CMakeLists.txt after ZOLTA_SYSTEM_DIR is set; the files are
# copied at configure time and copied again whenever they change.
set(ZOLTA_QUARTUS_DATA_FILES
  DefaultOptions_Quartus.xml
  DefaultOptions_Quartus_Tan.xml
  FPGAMessagesToIgnore.txt
)
foreach(name IN LISTS ZOLTA_QUARTUS_DATA_FILES)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${name} ${ZOLTA_SYSTEM_DIR}/${name} COPYONLY)
endforeach()
