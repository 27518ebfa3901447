# Helpers of NoxPlz's own build (not installed).

# ABI version of the shared libraries: the major version, and while the major
# version is 0 the minor one too (0.x releases may change the ABI).
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(NOXPLZ_SOVERSION "0.${PROJECT_VERSION_MINOR}")
else()
  set(NOXPLZ_SOVERSION "${PROJECT_VERSION_MAJOR}")
endif()

# Name in the package (NoxPlz::<EXPORT_NAME>), file name and ABI version of
# one of the installed libraries.
function(noxplz_library_properties target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "EXPORT_NAME;OUTPUT_NAME" "")
  set_target_properties(${target} PROPERTIES
    EXPORT_NAME ${arg_EXPORT_NAME}
    OUTPUT_NAME ${arg_OUTPUT_NAME}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${NOXPLZ_SOVERSION})
endfunction()

# An optional database backend: the sources of src/platform/db/<FOLDER>/ go
# into the core library, which links the client library PRIVATE; the
# definition NOXPLZ_HAVE_<NAME> tells the code that the backend is there.
# An installed static build must find the client library again: the package
# config and the pkg-config file learn it from the two lists extended here.
function(noxplz_optional_backend name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER;PACKAGE;TARGET;PKGCONFIG" "")
  if(NOT NOXPLZ_WITH_${name})
    return()
  endif()
  find_package(${arg_PACKAGE} REQUIRED)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/db/${arg_FOLDER}/*.cc)
  list(FILTER sources EXCLUDE REGEX "_test\\.cc$")
  if(NOT sources)
    return()
  endif()
  target_sources(noxplz PRIVATE ${sources})
  target_link_libraries(noxplz PRIVATE ${arg_TARGET})
  target_compile_definitions(noxplz PRIVATE NOXPLZ_HAVE_${name}=1)
  set(NOXPLZ_CONFIG_DEPENDENCIES "${NOXPLZ_CONFIG_DEPENDENCIES}\nfind_dependency(${arg_PACKAGE})"
      PARENT_SCOPE)
  set(NOXPLZ_PC_REQUIRES_PRIVATE "${NOXPLZ_PC_REQUIRES_PRIVATE} ${arg_PKGCONFIG}" PARENT_SCOPE)
endfunction()

# -Wall -Wextra on every compiled target defined in `dir` and below: our own
# targets only, whoever adds them, and never the flags of a host project.
function(noxplz_add_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      target_compile_options(${target} PRIVATE
        "$<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang,AppleClang>:-Wall;-Wextra>")
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    noxplz_add_warnings(${sub})
  endforeach()
endfunction()
