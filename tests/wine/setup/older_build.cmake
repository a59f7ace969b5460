cmake_minimum_required(VERSION 3.25)
# Usage: cmake -DIN=<Zorvane.dll> -DOUT=<older Zorvane.dll> -P this file.
# Bytes after the image change the file but not how it loads.
get_filename_component(out_dir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})
file(COPY_FILE ${IN} ${OUT})
file(APPEND ${OUT} "an older build of Zorvane.dll\n")
