# cmake -DCMARK=<cmark-gfm> -DINPUT=<README.md> -DOUTPUT=<README.html> -P ReadmeHtml.cmake
# The README as one HTML page for the browser, tables included.
execute_process(
    COMMAND ${CMARK} --to html --extension table --extension autolink --extension strikethrough
        ${INPUT}
    OUTPUT_VARIABLE body
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmark-gfm failed on ${INPUT}")
endif()
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Quillmark</title>
<style>
body { max-width: 52em; margin: 2em auto; padding: 0 1em; font-family: sans-serif; line-height: 1.5; }
pre, code { background: #f4f4f4; }
pre { padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #ccc; padding: 0.2em 0.6em; }
img { max-width: 100%; }
</style>
</head>
<body>
${body}</body>
</html>
")
