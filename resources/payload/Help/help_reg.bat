@echo off
rem Registers the Velkora help collection with the help system of the IDE.
cscript //nologo vklib_reg.js copy
