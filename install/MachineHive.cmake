# Writes the machine hive's values at installation, into
# $DESTDIR/etc/opt/ovex-kelvo/registry/HKEY_LOCAL_MACHINE.reg (the programs read it from
# /etc, whatever the prefix). Run by the install step, or on its own:
#   cmake -DOVEX_HIVE_TOOL=... -DOVEX_SNAPSHOT_TOOL=... -DOVEX_OEM=ON|OFF
#         -DCMAKE_INSTALL_PREFIX=/opt/ovex-kelvo -P MachineHive.cmake
# "InstallPath" is the client where it will run (the prefix, never the DESTDIR copy). An OEM
# installation also records the first-boot pass and snapshots the DMI values that sysfs
# shows to root only, so it must run as root on the machine itself.
foreach(var OVEX_HIVE_TOOL OVEX_SNAPSHOT_TOOL CMAKE_INSTALL_PREFIX)
  if(NOT ${var})
    message(FATAL_ERROR "MachineHive.cmake: ${var} is not set")
  endif()
endforeach()

set(hive_dir "$ENV{DESTDIR}/etc/opt/ovex-kelvo/registry")
set(client "${CMAKE_INSTALL_PREFIX}/OvexKelvo")
set(oem_switch)
if(OVEX_OEM)
  set(oem_switch --oem)
endif()

message(STATUS "Machine hive: ${hive_dir}/HKEY_LOCAL_MACHINE.reg (InstallPath ${client}${oem_switch})")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "OVEX_REGISTRY_DIR=${hive_dir}" "${OVEX_HIVE_TOOL}" ${oem_switch} "${client}"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Unable to write the machine hive in ${hive_dir} (${rc})")
endif()

if(OVEX_OEM)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "OVEX_REGISTRY_DIR=${hive_dir}" "${OVEX_SNAPSHOT_TOOL}"
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Unable to record the DMI snapshot in ${hive_dir} (${rc}); an OEM installation runs as root")
  endif()
endif()
