# Whether the Wayland clipboard (data-control) is built: PURLO_WAYLAND is
# auto (where libwayland-client and wayland-scanner are there), on (they
# must be: the configure fails without them) or off.
if(PURLO_WAYLAND STREQUAL "off")
  set(PURLO_HAVE_WAYLAND OFF)
else()
  pkg_check_modules(WAYLAND_CLIENT IMPORTED_TARGET wayland-client)
  find_program(WAYLAND_SCANNER wayland-scanner)
  if(WAYLAND_CLIENT_FOUND AND WAYLAND_SCANNER)
    set(PURLO_HAVE_WAYLAND ON)
  elseif(PURLO_WAYLAND STREQUAL "on")
    message(FATAL_ERROR "PURLO_WAYLAND=on needs libwayland-client and wayland-scanner "
                        "(Debian: libwayland-dev; scripts/setup.sh installs it)")
  else()
    set(PURLO_HAVE_WAYLAND OFF)
    message(WARNING "Building without Wayland support: libwayland-dev is missing, so on Wayland "
                    "sessions Purlo can only use Xwayland's clipboard (set PURLO_WAYLAND=off to "
                    "silence this, or =on to require it)")
  endif()
endif()
if(NOT PURLO_WAYLAND MATCHES "^(auto|on|off)$")
  message(FATAL_ERROR "PURLO_WAYLAND must be auto, on or off, not ${PURLO_WAYLAND}")
endif()
if(PURLO_HAVE_WAYLAND)
  enable_language(C)  # the protocol glue wayland-scanner writes is C

  # Generates a protocol's client header and glue into `target`'s build.
  function(purlo_wayland_protocol target xml)
    get_filename_component(name ${xml} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/protocols)
    add_custom_command(
      OUTPUT ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${out}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${out}/${name}-protocol.c
      DEPENDS ${xml}
      VERBATIM)
    target_sources(${target} PRIVATE ${out}/${name}-client-protocol.h ${out}/${name}-protocol.c)
    target_include_directories(${target} PRIVATE ${out})
  endfunction()
endif()
message(STATUS "Wayland clipboard: ${PURLO_HAVE_WAYLAND} (PURLO_WAYLAND=${PURLO_WAYLAND})")
