# quillmark_folder_headers(<target>)
# Headers of a library are included as "<folder>/Name.h". Only targets that link
# the library see its folder: the public include path is a directory in the
# build tree holding a single link named after the folder, so linking is the
# one way in. The folder itself stays a private path of its own library.
function(quillmark_folder_headers target)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${PROJECT_BINARY_DIR}/include/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target}
        PUBLIC $<BUILD_INTERFACE:${root}>
        PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()
