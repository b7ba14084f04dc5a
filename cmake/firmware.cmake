# Firmware images: module sources compiled by clang for the firmware target and linked by
# lld-link into a PE/COFF EFI image, with the instruction backend of the access layer and the
# memory intrinsics, and nothing else.
find_program(FW_CLANG NAMES clang++ clang++-14 REQUIRED)
find_program(FW_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)

set(FW_COMMON_FLAGS
  -std=c++20 -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector -mno-stack-arg-probe
  -fno-threadsafe-statics -fno-asynchronous-unwind-tables -mno-sse -mno-mmx
  -Oz -fno-jump-tables -ffunction-sections -fdata-sections -Wall -Wextra -Werror -DFIRMWARE_BUILD=1 -I${PROJECT_SOURCE_DIR})

# add_firmware_image(NAME <image> ARCH ia32|x64 ENTRY <symbol> MAX_SIZE <bytes> [XIP] [WHOLE]
#                    SOURCES <files...>)
# MAX_SIZE: the most the image may take on disk; a larger one fails the build.
# WHOLE: objects are LLVM bitcode and lld-link optimises the image as a whole (-Oz), inlining
# one-call helpers and the access layer across files. Functions that a run of the image observes
# by name keep their own body (modules/boot_progress_pei/platform/boot_phase.h). An image whose run reads module globals by
# their linker-map names stays without it: whole-image optimisation folds such globals away.
# XIP: the image executes in place from flash, so its sections sit in the file at their RVAs
# (file alignment equal to section alignment) and a volume build only rebases it.
# TEST_ONLY: a module that only tests load (built with `all`, not part of firmware-images).
function(add_firmware_image)
  cmake_parse_arguments(FW "XIP;WHOLE;TEST_ONLY" "NAME;ARCH;ENTRY;MAX_SIZE" "SOURCES" ${ARGN})
  set(layout /filealign:32)
  if(FW_XIP)
    set(layout /align:32 /filealign:32)
  endif()
  if(FW_ARCH STREQUAL "ia32")
    set(target i686-unknown-windows)
    set(machine x86)
  else()
    set(target x86_64-unknown-windows)
    set(machine x64)
  endif()
  set(objdir ${CMAKE_CURRENT_BINARY_DIR}/${FW_NAME}.objs)
  set(objects)
  foreach(src IN LISTS FW_SOURCES)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${src})
    string(REPLACE "/" "_" objname ${rel})
    set(obj ${objdir}/${objname}.obj)
    get_filename_component(ext ${src} LAST_EXT)
    if(ext STREQUAL ".S")
      set(flags -x assembler-with-cpp -DFIRMWARE_BUILD=1 -I${PROJECT_SOURCE_DIR})
    else()
      set(flags ${FW_COMMON_FLAGS})
      if(FW_WHOLE)
        list(APPEND flags -flto)
      endif()
    endif()
    add_custom_command(
      OUTPUT ${obj}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${objdir}
      COMMAND ${FW_CLANG} --target=${target} ${flags} -MD -MF ${obj}.d -c ${src} -o ${obj}
      DEPENDS ${src}
      DEPFILE ${obj}.d
      COMMENT "firmware ${FW_ARCH}: ${rel}"
      VERBATIM)
    list(APPEND objects ${obj})
  endforeach()
  set(image ${CMAKE_BINARY_DIR}/firmware/${FW_NAME}.efi)
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/firmware
    COMMAND ${FW_LLD_LINK} /nologo /nodefaultlib /subsystem:efi_boot_service_driver
            /entry:${FW_ENTRY} /machine:${machine} /dll /safeseh:no ${layout}
            /opt:ref /merge:.rdata=.text /implib:${objdir}/${FW_NAME}.lib /out:${image} /map:${image}.map ${objects}
    COMMAND $<TARGET_FILE:pecheck> ${image} --machine ${FW_ARCH} --max-size ${FW_MAX_SIZE}
    DEPENDS ${objects} pecheck
    COMMENT "linking ${FW_NAME}.efi"
    VERBATIM)
  add_custom_target(${FW_NAME} ALL DEPENDS ${image})
  set_property(TARGET ${FW_NAME} PROPERTY IMAGE_PATH ${image})
  if(NOT FW_TEST_ONLY)
    add_dependencies(firmware-images ${FW_NAME})
  endif()
  add_test(NAME ${FW_NAME}.pe_image COMMAND pecheck ${image} --machine ${FW_ARCH} --max-size
                                           ${FW_MAX_SIZE})
endfunction()
