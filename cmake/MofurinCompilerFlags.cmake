# Warnings are errors in every configuration; the sanitizer build adds ASan and UBSan.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                    -Woverloaded-virtual -Wimplicit-fallthrough -Werror)

# Sources are UTF-8; bytes never turn into text behind our back.
add_compile_definitions(QT_NO_CAST_TO_ASCII QT_DISABLE_DEPRECATED_UP_TO=0x060400)

if(MOFURIN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# A static library of the program: warnings as errors, includes relative to src/.
function(mofurin_library name)
    add_library(${name} STATIC ${ARGN})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()
