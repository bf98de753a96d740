# Settings every target of the project gets, whoever adds it and wherever: the top-level
# CMakeLists.txt calls tarn_apply_defaults() once, after every folder, and it walks all of
# them. A new target needs no call of its own.
#
# Precompiled headers (TARN_PCH): tarn-pch compiles the Qt and standard headers most files
# include, once per tree, and every other target that uses Qt reuses that one file. A
# precompiled header only serves a compilation with the same flags, so a target is left
# out when it sets compile options of its own (the fuzzers do) or sets the property
# TARN_NO_PCH. The Qt Test headers stay out of it: what QTEST_MAIN expands to depends on
# the Qt modules each test links.
#
# For whoever adds a target:
# - include what you use: the precompiled header hides a missing include, and a build with
#   -DTARN_PCH=OFF (the tree clang-tidy reads) must still compile;
# - put compile options in the top-level CMakeLists.txt, for every target; a folder's own
#   add_compile_options() leaves its targets without the precompiled header;
# - a definition that changes what Qt's headers declare (QT_NO_CAST_FROM_ASCII and the like)
#   goes to every target or to none, or the target sets TARN_NO_PCH;
# - a program only developers run gets EXCLUDE_FROM_ALL and a custom target or script that
#   builds it (as the benchmarks and tarn-shots do), so make test does not build it;
# - every source file of src/, tools/, bench/ and scripts/ belongs to a target, or the lint
#   fails.

set(TARN_PCH_HEADERS
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QList> <QObject> <QPointer>
    <QProcess> <QString> <QStringList> <QStringView> <QTemporaryDir> <QTimer>
    <QApplication> <QLabel> <QMessageBox> <QPainter> <QPushButton> <QWidget>
    <QTcpServer> <QTcpSocket>
    <algorithm> <array> <chrono> <functional> <memory> <optional> <vector>)

# The header's owner: an empty library with the flags of the tree and QtCore's definitions
# only (every Qt target has those; the other modules' definitions would not match all).
function(_tarn_add_pch_target)
  set(source ${CMAKE_BINARY_DIR}/tarn-pch.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "// The precompiled header's own translation unit.\n")
  add_library(tarn-pch OBJECT ${source})
  target_link_libraries(tarn-pch PRIVATE Qt6::Core)
  foreach(module Gui Widgets Network)
    target_include_directories(tarn-pch SYSTEM PRIVATE
        $<TARGET_PROPERTY:Qt6::${module},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()
  target_precompile_headers(tarn-pch PRIVATE ${TARN_PCH_HEADERS})
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

function(_tarn_reuse_pch target)
  get_target_property(type ${target} TYPE)
  get_target_property(sources ${target} SOURCES)
  get_target_property(own_pch ${target} PRECOMPILE_HEADERS)
  get_target_property(opted_out ${target} TARN_NO_PCH)
  get_target_property(options ${target} COMPILE_OPTIONS)
  get_target_property(pch_options tarn-pch COMPILE_OPTIONS)
  if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$"
     OR NOT sources OR own_pch OR opted_out OR NOT "${options}" STREQUAL "${pch_options}")
    return()
  endif()
  _tarn_uses_qt(${target} uses_qt)
  if(uses_qt)
    target_precompile_headers(${target} REUSE_FROM tarn-pch)
  endif()
endfunction()

function(tarn_apply_defaults)
  _tarn_targets_below(${PROJECT_SOURCE_DIR} targets)
  if(TARN_PCH)
    _tarn_add_pch_target()
    foreach(target IN LISTS targets)
      _tarn_reuse_pch(${target})
    endforeach()
  endif()
endfunction()
