# qmd_add_lazy_library(REAL_PATH OUTPUT_DIR TARGETS_VAR)
#
# Makes a stand-in for the shared library REAL_PATH: a library with the same
# soname that exports the same functions, each of which loads the real
# library the first time any of them is called and then jumps into it. Put in
# front of libavcodec, the stand-ins keep the dozens of codec libraries it is
# linked with (and theirs: an SVG renderer, Pango, Cairo...) out of memory
# until somebody really calls one, which the decoders we use never do.
#
# Data cannot be loaded late. Read-only constants are copied into the
# stand-in byte for byte; writable data is left out, so a library that reads
# another's writable data cannot be loaded beside its stand-in (it fails to
# load, cleanly). The libraries whose writable data is read by others we may
# load are not given a stand-in (QMD_LAZY_LIBRARY_KEEP).
# Symbols of older, non-default versions are left out: a program needing one
# fails to load with the stand-in, and the caller then loads without them.
#
# Appends the target's name to TARGETS_VAR, or nothing when the library
# cannot have a stand-in.

set(QMD_LAZY_LIBRARY_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

# The file offset of the virtual address ADDRESS (hex) in the library whose
# "readelf -lW" output is SEGMENTS; empty when no segment holds it.
function(_qmd_lazy_file_offset SEGMENTS ADDRESS OUT)
  math(EXPR address "0x${ADDRESS}" OUTPUT_FORMAT DECIMAL)
  string(REGEX MATCHALL "LOAD +0x[0-9a-f]+ +0x[0-9a-f]+ +0x[0-9a-f]+ +0x[0-9a-f]+" loads "${SEGMENTS}")
  foreach(load IN LISTS loads)
    string(REGEX MATCH "LOAD +(0x[0-9a-f]+) +(0x[0-9a-f]+) +0x[0-9a-f]+ +(0x[0-9a-f]+)" _ "${load}")
    math(EXPR offset "${CMAKE_MATCH_1}")
    math(EXPR start "${CMAKE_MATCH_2}")
    math(EXPR end "${CMAKE_MATCH_2} + ${CMAKE_MATCH_3}")
    if(address GREATER_EQUAL start AND address LESS end)
      math(EXPR found "${address} - ${start} + ${offset}")
      set(${OUT} ${found} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${OUT} "" PARENT_SCOPE)
endfunction()

function(qmd_add_lazy_library REAL_PATH OUTPUT_DIR TARGETS_VAR)
  execute_process(COMMAND ${CMAKE_READELF} -dW ${REAL_PATH} OUTPUT_VARIABLE dynamic RESULT_VARIABLE failed)
  if(failed OR NOT dynamic MATCHES "\\(SONAME\\)[^[]*\\[([^]]+)\\]")
    return()
  endif()
  set(soname ${CMAKE_MATCH_1})
  execute_process(COMMAND ${CMAKE_NM} -D -S --defined-only --with-symbol-versions ${REAL_PATH}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_READELF} -lW ${REAL_PATH} OUTPUT_VARIABLE segments)

  set(functions "")        # asm for each function's entry
  set(names "")            # each function's name, as an offset into the strings
  set(strings "")
  set(constants "")
  set(versioned "")        # "VERSION:SYMBOL" for the version script
  set(versions "")
  set(index 0)
  string(REPLACE "\n" ";" lines "${symbols}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-f]+ A (.+)$")
      list(APPEND versions "${CMAKE_MATCH_1}")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9a-f]+) ([0-9a-f]+ )?([A-Za-z]) ([^@]+)(@@?)?(.*)$")
      continue()
    endif()
    set(address ${CMAKE_MATCH_1})
    string(STRIP "${CMAKE_MATCH_2}" size)
    set(type ${CMAKE_MATCH_3})
    set(name "${CMAKE_MATCH_4}")
    set(at "${CMAKE_MATCH_5}")
    set(version "${CMAKE_MATCH_6}")
    # The linker's own markers of a library's sections, not its interface.
    if(name MATCHES "^(__bss_start|_edata|_end|_init|_fini)$")
      continue()
    endif()
    if(at STREQUAL "@")
      continue()  # an older version kept for old programs
    endif()
    if(at STREQUAL "@@")
      list(APPEND versioned "${version}:${name}")
    endif()
    if(type MATCHES "^[TWi]$")
      # Its slot is empty until the first call has found the real function.
      string(APPEND functions
        "  .globl \"${name}\"\n  .type \"${name}\", @function\n  .p2align 4\n"
        "\"${name}\":\n  movq qmd_lazy_slots+${index}*8(%rip), %r11\n  testq %r11, %r11\n  jz 1f\n  jmp *%r11\n"
        "1:\n  pushq $${index}\n  jmp qmd_lazy_enter\n  .size \"${name}\", .-\"${name}\"\n")
      string(APPEND names "  .long .Lname${index}-qmd_lazy_names\n")
      string(APPEND strings ".Lname${index}: .asciz \"${name}\"\n")
      math(EXPR index "${index} + 1")
    elseif(type STREQUAL "R" AND NOT size STREQUAL "")
      _qmd_lazy_file_offset("${segments}" ${address} offset)
      math(EXPR bytes "0x${size}" OUTPUT_FORMAT DECIMAL)
      if(offset STREQUAL "" OR bytes EQUAL 0)
        return()
      endif()
      file(READ ${REAL_PATH} hex OFFSET ${offset} LIMIT ${bytes} HEX)
      string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
      string(REGEX REPLACE ",$" "" hex "${hex}")
      string(APPEND constants
        "  .globl \"${name}\"\n  .type \"${name}\", @object\n  .size \"${name}\", ${bytes}\n  .p2align 4\n"
        "\"${name}\":\n  .byte ${hex}\n")
    endif()
    # Writable data is left out: see QMD_LAZY_LIBRARY_KEEP for whose is read.
  endforeach()
  if(index EQUAL 0)
    return()
  endif()

  string(MAKE_C_IDENTIFIER "${soname}" id)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/lazy_${id})
  file(MAKE_DIRECTORY ${generated})
  # Nothing in it needs relocating: the stand-in's pages stay shared with
  # the file, and few of them are ever touched.
  file(CONFIGURE OUTPUT ${generated}/entries.S CONTENT
"# Generated from ${REAL_PATH}.
  .text
@functions@
  .bss
  .p2align 3
  .globl qmd_lazy_slots
  .hidden qmd_lazy_slots
qmd_lazy_slots:
  .zero ${index}*8
  .section .rodata
  .p2align 2
  .globl qmd_lazy_names
  .hidden qmd_lazy_names
qmd_lazy_names:
@names@
@strings@
@constants@
  .section .note.GNU-stack,\"\",@progbits
" @ONLY)

  # Every symbol under its version, the versions as the real library names
  # them, so that programs built against it find what they ask for.
  set(script "")
  list(REMOVE_DUPLICATES versions)
  list(REMOVE_ITEM versions "${soname}")
  foreach(version IN LISTS versions)
    set(members "")
    foreach(entry IN LISTS versioned)
      if(entry MATCHES "^${version}:(.*)$")
        string(APPEND members " \"${CMAKE_MATCH_1}\";")
      endif()
    endforeach()
    if(members STREQUAL "")
      string(APPEND script "${version} { };\n")
    else()
      string(APPEND script "${version} { global:${members} };\n")
    endif()
  endforeach()
  set(link_options -Wl,-soname,${soname} -Wl,-z,noexecstack)
  if(NOT script STREQUAL "")
    file(WRITE ${generated}/versions.map "${script}")
    list(APPEND link_options -Wl,--version-script=${generated}/versions.map)
  endif()

  set(target qmd_lazy_${id})
  add_library(${target} SHARED ${generated}/entries.S ${QMD_LAZY_LIBRARY_SOURCE_DIR}/enter.S
              ${QMD_LAZY_LIBRARY_SOURCE_DIR}/resolve.c)
  target_compile_definitions(${target} PRIVATE "QMD_LAZY_REAL_LIBRARY=\"${REAL_PATH}\"")
  target_link_options(${target} PRIVATE ${link_options})
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX "" OUTPUT_NAME ${soname} NO_SONAME ON
    C_VISIBILITY_PRESET hidden UNITY_BUILD OFF
    LIBRARY_OUTPUT_DIRECTORY ${OUTPUT_DIR})
  set(${TARGETS_VAR} ${${TARGETS_VAR}} ${target} PARENT_SCOPE)
endfunction()
