# Writes the device's guide, Markdown, as one page that opens by double-click wherever it is
# copied: its pictures are inside it, as data URLs, so the page needs no other file.
#   cmake -DCMARK=<cmark-gfm> -DSOURCE=<LEGGIMI.md> -DTEMPLATE=<guide.html.in>
#         -DOUTPUT=<page.html> -P guide.cmake
# cmark-gfm turns the Markdown into HTML; --smart makes the quotes and apostrophes typographic.
execute_process(COMMAND ${CMARK} --smart ${SOURCE}
                OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CMARK} could not convert ${SOURCE}")
endif()

get_filename_component(folder ${SOURCE} DIRECTORY)
string(REGEX MATCHALL "<img src=\"[^\"]*\"" images "${body}")
list(REMOVE_DUPLICATES images)
foreach(image IN LISTS images)
    string(REGEX REPLACE "^<img src=\"(.*)\"$" "\\1" name "${image}")
    if(name MATCHES "\\.svg$")
        set(type image/svg+xml)
    elseif(name MATCHES "\\.png$")
        set(type image/png)
    else()
        message(FATAL_ERROR "${SOURCE}: the picture ${name} is neither SVG nor PNG")
    endif()
    if(NOT EXISTS ${folder}/${name})
        message(FATAL_ERROR "${SOURCE}: the picture ${name} is not in ${folder}")
    endif()
    execute_process(COMMAND base64 -w 0 ${folder}/${name}
                    OUTPUT_VARIABLE data RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "base64 could not read ${folder}/${name}")
    endif()
    string(REPLACE "${image}" "<img src=\"data:${type};base64,${data}\"" body "${body}")
endforeach()

# The page's title is its first heading.
if(NOT body MATCHES "<h1>([^<]*)</h1>")
    message(FATAL_ERROR "${SOURCE} has no first-level heading for the page's title")
endif()
set(title "${CMAKE_MATCH_1}")
file(READ ${TEMPLATE} page)
string(CONFIGURE "${page}" page @ONLY)
file(WRITE ${OUTPUT} "${page}")
