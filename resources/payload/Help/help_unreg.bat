@echo off
rem Removes the Velkora help collection from the help system of the IDE.
cscript //nologo vklib_reg.js remove
