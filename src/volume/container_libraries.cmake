# The disk-image libraries behind -image: libewf (E01/Ex01), libvhdi (VHD/VHDX), libqcow (QCOW).
# Each one found by pkg-config is linked and announced to the code by SKELVAR_HAVE_<NAME>; a missing one
# leaves its container readable by no one, and the program then says so when such an image is given.
find_package(PkgConfig QUIET)

function(skelvar_link_container_libraries target)
  foreach(lib ewf vhdi qcow)
    string(TOUPPER ${lib} upper)
    if(PKG_CONFIG_FOUND)
      pkg_check_modules(SKELVAR_LIB${upper} QUIET IMPORTED_TARGET lib${lib})
    endif()
    if(SKELVAR_LIB${upper}_FOUND)
      target_link_libraries(${target} PUBLIC PkgConfig::SKELVAR_LIB${upper})
      target_compile_definitions(${target} PRIVATE SKELVAR_HAVE_LIB${upper}=1)
    else()
      message(WARNING "lib${lib} not found (Debian: lib${lib}-dev): its images will not be readable in this build")
    endif()
  endforeach()
endfunction()
