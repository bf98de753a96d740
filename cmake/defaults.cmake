# Settings every target of the project gets, whoever adds it and wherever: the top-level
# CMakeLists.txt calls tarn_apply_defaults() once, after every folder, and it walks all of
# them. A new target needs no call of its own.
#
# Precompiled headers (TARN_PCH): the Qt and standard headers most files include are
# compiled once per set of compile options, and every target that uses Qt with that set
# reuses the one file: tarn-pch for the options of the top-level CMakeLists.txt, tarn-pch-2
# and on for another set that three or more targets share (the sanitizer tree's tests,
# compiled unoptimised). A precompiled header only serves a compilation with the same flags,
# so a target whose options fewer than two others share compiles without one, as does a
# target that sets the property TARN_NO_PCH. The Qt Test headers stay out of it: what
# QTEST_MAIN expands to depends on the Qt modules each test links.
#
# For whoever adds a target:
# - include what you use: the precompiled header hides a missing include, and a build with
#   -DTARN_PCH=OFF (the tree clang-tidy reads) must still compile;
# - put compile options in the top-level CMakeLists.txt, for every target; options of a
#   folder or a target of their own leave it without a precompiled header, unless three or
#   more targets have the same (and then they get one of their own to compile);
# - a definition that changes what Qt's headers declare (QT_NO_CAST_FROM_ASCII and the like)
#   goes to every target or to none, or the target sets TARN_NO_PCH;
# - a program or library only developers use gets EXCLUDE_FROM_ALL and a custom target or
#   script that builds it (as the benchmarks and tarn-shots do), so make test does not
#   build it; a test is added with tarn_add_test and labelled (tests/CMakeLists.txt);
# - every source file of src/, tools/, bench/ and scripts/ belongs to a target, or the lint
#   fails.

set(TARN_PCH_HEADERS
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QList> <QObject> <QPointer>
    <QProcess> <QString> <QStringList> <QStringView> <QTemporaryDir> <QTimer>
    <QApplication> <QLabel> <QMessageBox> <QPainter> <QPushButton> <QWidget>
    <QTcpServer> <QTcpSocket>
    <algorithm> <array> <chrono> <functional> <memory> <optional> <vector>)

# The header's owner: an empty library with the given compile options and QtCore's
# definitions only (every Qt target has those; the other modules' would not match all).
# Outside `all`: the targets that reuse it build it.
function(_tarn_add_pch_target name options)
  set(source ${CMAKE_BINARY_DIR}/tarn-pch.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "// The precompiled header's own translation unit.\n")
  add_library(${name} OBJECT ${source})
  set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON AUTOMOC OFF COMPILE_OPTIONS "${options}")
  target_link_libraries(${name} PRIVATE Qt6::Core)
  foreach(module Gui Widgets Network)
    target_include_directories(${name} SYSTEM PRIVATE
        $<TARGET_PROPERTY:Qt6::${module},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()
  target_precompile_headers(${name} PRIVATE ${TARN_PCH_HEADERS})
endfunction()

# Every target defined in dir and the folders below it.
function(_tarn_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    _tarn_targets_below(${subdir} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# TRUE when target links a Qt module, itself or through the project's own libraries.
function(_tarn_uses_qt target out)
  set(result FALSE)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  foreach(library IN LISTS libraries interface)
    if(library MATCHES "^Qt6::")
      set(result TRUE)
    elseif(TARGET ${library} AND NOT library IN_LIST ARGN)
      _tarn_uses_qt(${library} nested ${ARGN} ${target})
      if(nested)
        set(result TRUE)
      endif()
    endif()
    if(result)
      break()
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# TRUE when target compiles sources with Qt and may take a shared precompiled header.
function(_tarn_wants_pch target out)
  get_target_property(type ${target} TYPE)
  get_target_property(sources ${target} SOURCES)
  get_target_property(own_pch ${target} PRECOMPILE_HEADERS)
  get_target_property(opted_out ${target} TARN_NO_PCH)
  set(${out} FALSE PARENT_SCOPE)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$"
     OR NOT sources OR own_pch OR opted_out)
    return()
  endif()
  _tarn_uses_qt(${target} uses_qt)
  set(${out} ${uses_qt} PARENT_SCOPE)
endfunction()

# One precompiled header per set of compile options that three or more targets share.
function(_tarn_share_pch targets)
  get_property(top_options DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY COMPILE_OPTIONS)
  string(MD5 top "${top_options}")
  set(sets)
  foreach(target IN LISTS targets)
    _tarn_wants_pch(${target} wanted)
    if(wanted)
      get_target_property(options ${target} COMPILE_OPTIONS)
      if(NOT options)
        set(options "")
      endif()
      string(MD5 set "${options}")
      list(APPEND sets ${set})
      list(APPEND users_${set} ${target})
      set(options_${set} "${options}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES sets)
  set(number 1)
  foreach(set IN LISTS sets)
    list(LENGTH users_${set} users)
    if(users LESS 3)
      continue()
    endif()
    if(set STREQUAL top)
      set(name tarn-pch)
    else()
      math(EXPR number "${number} + 1")
      set(name tarn-pch-${number})
    endif()
    _tarn_add_pch_target(${name} "${options_${set}}")
    foreach(target IN LISTS users_${set})
      target_precompile_headers(${target} REUSE_FROM ${name})
    endforeach()
  endforeach()
endfunction()

function(tarn_apply_defaults)
  _tarn_targets_below(${PROJECT_SOURCE_DIR} targets)
  if(TARN_PCH)
    _tarn_share_pch("${targets}")
  endif()
endfunction()
