# runeflow_type_library(NAME IDL): compiles IDL with the toolchain's IDL compiler into NAME.tlb (a type
# library for the program's resources), NAME_h.h (the C++ interfaces) and NAME_i.c (their identifiers),
# all in the current build folder. ${NAME}_TYPE_LIBRARY and ${NAME}_SOURCES name them for the caller.
find_program(RUNEFLOW_WIDL i686-w64-mingw32-widl REQUIRED)
# Debian's mingw-w64 packages have no .idl files; Wine's development package has them, and stdole2.tlb.
find_path(RUNEFLOW_IDL_INCLUDE oaidl.idl PATHS /usr/include/wine/wine/windows REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_path(RUNEFLOW_TLB_DIR stdole2.tlb PATHS /usr/lib/i386-linux-gnu/wine/i386-windows REQUIRED
          NO_CMAKE_FIND_ROOT_PATH)

function(runeflow_type_library name idl)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${name})
  get_filename_component(idl ${idl} ABSOLUTE)
  add_custom_command(
    OUTPUT ${out}.tlb ${out}_h.h ${out}_i.c
    COMMAND ${RUNEFLOW_WIDL} -I${RUNEFLOW_IDL_INCLUDE} -L${RUNEFLOW_TLB_DIR} -t -T ${out}.tlb -h -H ${out}_h.h
            -u -U ${out}_i.c ${idl}
    DEPENDS ${idl}
    COMMENT "Compiling the type library ${name}.tlb"
    VERBATIM)
  set_source_files_properties(${out}_i.c PROPERTIES LANGUAGE CXX GENERATED TRUE)
  set(${name}_TYPE_LIBRARY ${out}.tlb PARENT_SCOPE)
  set(${name}_SOURCES ${out}_h.h ${out}_i.c PARENT_SCOPE)
endfunction()
