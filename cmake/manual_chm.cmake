# Compiles the HTML manual into help.chm with chmcmd (fp-utils):
#   cmake -DHTML=<manual folder> -DWORK=<scratch> -DCHM=<out.chm> -DCHMCMD=<chmcmd> -P manual_chm.cmake
# Table of contents: index.html, then the pages in the order index.html links
# them, each under its <title>. Index: every page's <meta name="keywords">
# (words separated by ";"). The project, contents and index are written in
# Windows-1251 (the code page of a Russian help file, language 0x419); the
# pages stay UTF-8 and say so.
cmake_minimum_required(VERSION 3.25)
foreach(v HTML WORK CHM CHMCMD)
  if(NOT ${v})
    message(FATAL_ERROR "manual_chm.cmake: ${v} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(COPY ${HTML}/ DESTINATION ${WORK})

file(READ ${HTML}/index.html index_text)
string(REGEX MATCHALL "href=\"[a-z0-9-]+\\.html\"" links "${index_text}")
set(pages index.html)
foreach(link IN LISTS links)
  string(REGEX REPLACE "href=\"([^\"]+)\"" "\\1" page "${link}")
  list(APPEND pages ${page})
endforeach()
list(REMOVE_DUPLICATES pages)

function(sitemap_item name local out)
  set(${out} "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"${name}\"><param name=\"Local\" value=\"${local}\"></OBJECT>\n" PARENT_SCOPE)
endfunction()

set(head "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n<UL>\n")
set(toc "${head}")
set(keywords)
foreach(page IN LISTS pages)
  if(NOT EXISTS ${HTML}/${page})
    message(FATAL_ERROR "index.html links ${page}, which does not exist")
  endif()
  file(READ ${HTML}/${page} text)
  if(NOT text MATCHES "<title>([^<]+)</title>")
    message(FATAL_ERROR "${page} has no <title>")
  endif()
  set(title "${CMAKE_MATCH_1}")
  set(title_of_${page} "${title}")
  sitemap_item("${title}" ${page} item)
  string(APPEND toc "${item}")
  if(text MATCHES "<meta name=\"keywords\" content=\"([^\"]+)\"")
    set(words "${CMAKE_MATCH_1}")  # "a; b; c" is a CMake list already
    foreach(word IN LISTS words)
      string(STRIP "${word}" word)
      if(word STREQUAL "")
        continue()
      endif()
      string(MD5 key "${word}")
      list(APPEND keywords "${word}")
      list(APPEND pages_of_${key} ${page})
    endforeach()
  endif()
endforeach()
string(APPEND toc "</UL>\n</BODY></HTML>\n")

list(REMOVE_DUPLICATES keywords)
list(SORT keywords CASE INSENSITIVE)
set(hhk "${head}")
foreach(word IN LISTS keywords)
  string(MD5 key "${word}")
  set(params "")
  list(REMOVE_DUPLICATES pages_of_${key})
  # A word of several pages names each page with its title, for the viewer's
  # choice of topics.
  list(LENGTH pages_of_${key} count)
  foreach(page IN LISTS pages_of_${key})
    if(count GREATER 1)
      string(APPEND params "<param name=\"Name\" value=\"${title_of_${page}}\">")
    endif()
    string(APPEND params "<param name=\"Local\" value=\"${page}\">")
  endforeach()
  string(APPEND hhk "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"${word}\">${params}</OBJECT>\n")
endforeach()
string(APPEND hhk "</UL>\n</BODY></HTML>\n")

file(GLOB_RECURSE files RELATIVE ${WORK} ${WORK}/*.html ${WORK}/*.css ${WORK}/*.png)
list(SORT files)
string(REPLACE ";" "\n" file_lines "${files}")
set(hhp "[OPTIONS]
Compatibility=1.1 or later
Compiled file=help.chm
Contents file=toc.hhc
Index file=index.hhk
Default topic=index.html
Default Window=main
Display compile progress=No
Full-text search=Yes
Language=0x419 Russian
Title=Orvatone Zave: руководство оператора

[WINDOWS]
main=\"Orvatone Zave: руководство оператора\",\"toc.hhc\",\"index.hhk\",\"index.html\",\"index.html\",,,,,0x2520,,0x387e,,,,,,,,0

[FILES]
${file_lines}
")

foreach(pair "toc.hhc;toc" "index.hhk;hhk" "help.hhp;hhp")
  list(GET pair 0 name)
  list(GET pair 1 var)
  file(WRITE ${WORK}/${name}.utf8 "${${var}}")
  execute_process(COMMAND iconv -f UTF-8 -t CP1251 ${WORK}/${name}.utf8
    OUTPUT_FILE ${WORK}/${name} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "iconv could not write ${name} in Windows-1251")
  endif()
  file(REMOVE ${WORK}/${name}.utf8)
endforeach()

execute_process(COMMAND ${CHMCMD} help.hhp WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/help.chm)
  message(FATAL_ERROR "chmcmd failed (${rc}):\n${out}")
endif()
file(COPY_FILE ${WORK}/help.chm ${CHM})
