# Logic libraries hold what runs without a window: channels, parsers, engines.
# They may link Qt6::Core and Qt6::Network but never Qt6::Gui or Qt6::Widgets,
# so every one of them can be tested under QCoreApplication.

# Declares a logic library: serialnet_logic_library(name SOURCES ... LINKS ...).
function(serialnet_logic_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  set_property(GLOBAL APPEND PROPERTY SERIALNET_LOGIC_LIBRARIES ${name})
endfunction()

# Marks executables that must run without a window (tests of logic under
# QCoreApplication): they are checked like the logic libraries.
function(serialnet_windowless)
  set_property(GLOBAL APPEND PROPERTY SERIALNET_LOGIC_LIBRARIES ${ARGN})
endfunction()

# The libraries `target` links, directly and through what it links, with
# generator expressions reduced to the libraries they name.
function(_serialnet_linked_closure target out)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      list(APPEND pending ${aliased})
      continue()
    endif()
    set(links "")
    get_target_property(type ${current} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      string(REGEX REPLACE "^\\$<BUILD_INTERFACE:(.*)>$" "\\1" link "${link}")
      if(NOT link MATCHES "^\\$<")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configuration when a logic library or a windowless executable
# reaches a widget or GUI library.
function(serialnet_check_logic_libraries)
  get_property(libraries GLOBAL PROPERTY SERIALNET_LOGIC_LIBRARIES)
  foreach(library IN LISTS libraries)
    _serialnet_linked_closure(${library} closure)
    foreach(forbidden Qt6::Gui Qt6::Widgets Qt::Gui Qt::Widgets)
      if(forbidden IN_LIST closure)
        message(FATAL_ERROR "${library} links ${forbidden}; it must run without a window.")
      endif()
    endforeach()
  endforeach()
endfunction()
