#!/usr/bin/env python3
"""Writes the generated part of Velkora's payload and the install script that refers to it.

The hand-written payload (the library units in Source, the documents, the help files, the
templates file) lives beside this script. From one description of the IDE versions, the demo
projects and the script blocks this script writes, all committed:

  - the package projects of every IDE version (<IDE directory>/...), their .res files, the
    component palette bitmaps Source/VklReg.dcr, and the C++Builder demo projects (Demos/...);
  - payload.rc, which numbers every payload file as a resource of type VKLIB;
  - ../../script/UScriptTable.inc and UPackageFiles.inc, the rows of the install script table
    and of the built packages' destinations, which script/UScriptItems.cpp includes.

The product version comes from ../../product/UVersion.h.

Run it after changing any of these, from anywhere: python3 resources/payload/generate.py
With --out DIR it writes the same files below DIR instead of the source tree (DIR stands for the
source tree's root; tools/check-generated.py compares them with the committed ones).
It needs i686-w64-mingw32-windres for the .res and .dcr files.
"""

import argparse
import os
import re
import struct
import subprocess
import tempfile
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
WINDRES = "i686-w64-mingw32-windres"
# Where the generated files go: the source tree unless --out says otherwise.
OUT_ROOT = ROOT


def out_path(*parts):
    return os.path.join(OUT_ROOT, *parts)


def read_version():
    """(major, minor, release) from product/UVersion.h, the one definition of the version."""
    with open(os.path.join(ROOT, "product", "UVersion.h")) as f:
        text = f.read()
    return tuple(int(re.search(r"^#define VK_VERSION_%s (\d+)$" % part, text, re.M).group(1))
                 for part in ("MAJOR", "MINOR", "RELEASE"))


VERSION = read_version()
VERSION_TEXT = "%d.%d%d" % VERSION             # as VK_VERSION_TEXT spells it: "4.07"
VERSION_COMMAS = "%d,%d,%d,0" % VERSION        # "4,0,7,0"
VERSION_DOTS = "%d.%d.%d.0" % VERSION          # "4.0.7.0"

# ---------------------------------------------------------------------------------------------
# The library

# Units of the run-time package: the public units stay in Source, the private ones are deleted
# from Source once every package is built (their compiled units stay in the IDE folders).
PUBLIC_UNITS = ["VklConsts", "VklStore", "VklIniStore", "VklRegStore", "VklMemStore",
                "VklFormState", "VklPropStore", "VklAbout"]
PRIVATE_UNITS = ["VklConvert", "VklNotify", "VklLocks", "VklCache", "VklIniParser",
                 "VklIniWriter", "VklStrUtils", "VklPaths", "VklRegAccess", "VklMonitors",
                 "VklRtti", "VklBase64", "VklCrc32", "VklObfuscate", "VklStreams", "VklMru",
                 "VklEnv"]
RUNTIME_UNITS = PUBLIC_UNITS + PRIVATE_UNITS
# Design-time units; the Design folder needs the DesignIntf interfaces (C++Builder 6 and later).
DESIGN_UNITS = [("VklReg", "..\\Source\\VklReg.pas", None)]
DESIGNINTF_UNITS = [("VklEditors", "..\\Source\\Design\\VklEditors.pas", None),
                    ("VklPropsDlg", "..\\Source\\Design\\VklPropsDlg.pas", "VkPropsDialog")]

# The source files in table order: Source folder, then the documents.
SOURCE_FILES = (["Source\\Velkora.inc"] + ["Source\\%s.pas" % u for u in RUNTIME_UNITS]
                + ["Source\\VklReg.pas", "Source\\VklReg.dcr"])
DOCUMENTS = ["History.txt", "License.txt", "Order.txt", "ReadMe.txt"]
DESIGN_FILES = ["Source\\Design\\VklEditors.pas", "Source\\Design\\VklPropsDlg.pas",
                "Source\\Design\\VklPropsDlg.dfm"]
HELP_FILES = ["Help\\vklib.hlp", "Help\\vklib.cnt"]
OPENHELP_FILES = ["Help\\vklib.als", "Help\\vklib.kwf", "Help\\OpenHelp.txt"]
HELP2_FILES = ["Help\\help_reg.bat", "Help\\help_unreg.bat", "Help\\vklib_reg.js",
               "Help\\vklib.hxs", "Help\\vklib.hxi", "Help\\vklib.hxc", "Help\\vklib.hxt",
               "Help\\vklibK.hxk"]

# ---------------------------------------------------------------------------------------------
# The IDE versions

class Ide:
    def __init__(self, index, caption, folder, suffix, item_mask=0, kind="delphi",
                 project_version=""):
        self.index = index              # BorlandProducts index
        self.caption = caption
        self.folder = folder            # CurrentProductDir
        self.suffix = suffix            # package name suffix: vkl<suffix>.bpl
        self.item_mask = item_mask      # InstallItems bit (0: not offered)
        self.kind = kind                # "delphi", "bds2006", "dproj", "dproj64", "cbuilder"
        self.project_version = project_version

    @property
    def bit(self):
        return 1 << (self.index - 1)

    @property
    def is64(self):
        return self.kind == "dproj64"

    @property
    def designintf(self):
        return self.index not in (1, 2, 3, 4, 5, 6)   # Delphi 3 to 5, C++Builder 3 to 5


def rad(index, caption, version, project_version):
    return Ide(index, caption, "RADStudio%d" % version, "%d0" % index,
               0x1000 << (index - 11), "dproj64" if index >= 16 else "dproj", project_version)


BDS = [Ide(11, "Borland Developer Studio 2006", "BDS2006", "2006", 0x1000, "bds2006"),
       Ide(12, "CodeGear RAD Studio 2007", "BDS2007", "2007", 0x2000, "dproj", "5.0"),
       Ide(13, "CodeGear RAD Studio 2009", "BDS2009", "2009", 0x4000, "dproj", "12.0"),
       Ide(14, "RAD Studio 2010", "BDS2010", "2010", 0x8000, "dproj", "12.0"),
       rad(15, "RAD Studio XE", 8, "12.3"),
       rad(16, "RAD Studio XE2", 9, "13.4"),
       rad(17, "RAD Studio XE3", 10, "14.4"),
       rad(18, "RAD Studio XE4", 11, "14.6"),
       rad(19, "RAD Studio XE5", 12, "15.3"),
       rad(20, "RAD Studio XE6", 14, "15.4"),
       rad(21, "RAD Studio XE7", 15, "16.1"),
       rad(22, "RAD Studio XE8", 16, "17.2"),
       rad(23, "RAD Studio XE10", 17, "18.0"),
       rad(24, "RAD Studio XE10.1", 18, "18.1"),
       rad(25, "RAD Studio XE10.2", 19, "18.2"),
       rad(26, "RAD Studio XE10.3", 20, "18.8"),
       rad(27, "RAD Studio XE10.4", 21, "19.0"),
       rad(28, "RAD Studio 11", 22, "19.3")]
CBUILDERS = [Ide(5, "C++Builder 4", "CBuilder4", "40", 0x10, "cbuilder"),
             Ide(6, "C++Builder 5", "CBuilder5", "50", 0x20, "cbuilder"),
             Ide(8, "C++Builder 6", "CBuilder6", "60", 0x40, "cbuilder")]
# Versions the selection list does not offer: their projects are carried but never written.
NOT_OFFERED = [Ide(1, "Delphi 3", "Delphi3", "30"), Ide(2, "Delphi 4", "Delphi4", "40"),
               Ide(3, "Delphi 5", "Delphi5", "50"), Ide(4, "C++Builder 3", "CBuilder3", "35",
                                                        kind="cbuilder"),
               Ide(7, "Delphi 6", "Delphi6", "60"), Ide(9, "Delphi 7", "Delphi7", "70"),
               Ide(10, "Delphi 2005", "BDS2005", "2005", kind="bds2006")]
PACKAGE_ORDER = CBUILDERS + BDS          # order of PackageFiles
# siIfFileExists keys of the newest versions: the key of 10.2 serves 10.3 too.
DCC64_KEYS = {24: 0x02000001, 25: 0x04000001, 26: 0x04000001, 27: 0x10000001, 28: 0x20000001}


def package_files(ide):
    """The package project files of a version, in id order (ids base .. base + 7)."""
    s = ide.suffix
    if ide.kind == "bds2006" and ide.index == 11:
        return ["vkl%s.cfg" % s, "vkl%s.res" % s, "vkl%s.dpk" % s, "vkl%s.bdsproj" % s,
                "dclvkl%s.cfg" % s, "dclvkl%s.res" % s, "dclvkl%s.dpk" % s,
                "dclvkl%s.bdsproj" % s]
    if ide.kind == "bds2006":
        return ["vkl%s.cfg" % s, "vkl%s.dpk" % s, "vkl%s.bdsproj" % s,
                "dclvkl%s.cfg" % s, "dclvkl%s.dpk" % s, "dclvkl%s.bdsproj" % s]
    if ide.kind == "dproj":
        return ["vkl%s.cfg" % s, "vkl%s.res" % s, "vkl%s.dpk" % s, "vkl%s.dproj" % s,
                "dclvkl%s.cfg" % s, "dclvkl%s.res" % s, "dclvkl%s.dpk" % s,
                "dclvkl%s.dproj" % s]
    if ide.kind == "dproj64":
        return ["dcc32.cfg", "dcc64.cfg", "vkl%s.res" % s, "vkl%s.dpk" % s, "vkl%s.dproj" % s,
                "dclvkl%s.res" % s, "dclvkl%s.dpk" % s, "dclvkl%s.dproj" % s]
    if ide.kind == "cbuilder":
        return ["vkl%s.cpp" % s, "vkl%s.bpk" % s, "vkl%s.mak" % s,
                "dclvkl%s.cpp" % s, "dclvkl%s.bpk" % s, "dclvkl%s.mak" % s]
    return ["vkl%s.dpk" % s, "vkl%s.cfg" % s, "vkl%s.dof" % s,
            "dclvkl%s.dpk" % s, "dclvkl%s.cfg" % s, "dclvkl%s.dof" % s]


def build_name(ide, design):
    """The project file the IDE's command-line tool builds."""
    prefix = "dclvkl" if design else "vkl"
    if ide.kind == "cbuilder":
        return "%s%s.%s" % (prefix, ide.suffix, "bpk" if ide.index == 5 else "mak")
    return "%s%s.dpk" % (prefix, ide.suffix)


def output_dir(ide, win64=False):
    if ide.is64:
        return "%s\\%s" % (ide.folder, "Win64" if win64 else "Win32")
    return ide.folder

# ---------------------------------------------------------------------------------------------
# Writing files

written = []


def write(rel, data):
    path = out_path("resources", "payload", *rel.split("\\"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if isinstance(data, str):
        data = data.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252")
    with open(path, "wb") as f:
        f.write(data)
    written.append("resources\\payload\\" + rel)


def project_guid(name):
    return "{%s}" % str(uuid.uuid5(uuid.NAMESPACE_URL, "velkora/" + name)).upper()


def windres(rc_text):
    with tempfile.TemporaryDirectory() as tmp:
        rc = os.path.join(tmp, "in.rc")
        res = os.path.join(tmp, "out.res")
        with open(rc, "w", newline="\r\n") as f:
            f.write(rc_text)
        subprocess.run([WINDRES, "-c", "1252", "-O", "res", "-i", rc, "-o", res],
                       check=True, cwd=tmp)
        with open(res, "rb") as f:
            return f.read()


def version_res(description, internal_name):
    return windres("""#include <winver.h>
1 VERSIONINFO
FILEVERSION %s
PRODUCTVERSION %s
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_DLL
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904E4"
    BEGIN
      VALUE "CompanyName", "Brightmoss"
      VALUE "FileDescription", "%s"
      VALUE "FileVersion", "%s"
      VALUE "InternalName", "%s"
      VALUE "ProductName", "Velkora"
      VALUE "ProductVersion", "%s"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1252
  END
END
""" % (VERSION_COMMAS, VERSION_COMMAS, description, VERSION_TEXT, internal_name, VERSION_TEXT))


def palette_bitmap(seed):
    """A 24 x 24 16-colour palette bitmap: a settings-sheet glyph, shaded per component."""
    width = height = 24
    palette = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    rows = []
    for y in range(height - 1, -1, -1):        # bottom-up
        row = []
        for x in range(width):
            if 3 <= x <= 20 and 2 <= y <= 21:
                edge = x in (3, 20) or y in (2, 21)
                line = y in (7, 11, 15) and 6 <= x <= 17
                color = 0 if edge else (seed if line else 15)
            else:
                color = 7                       # transparent colour: the lower-left pixel
            row.append(color)
        packed = bytes((row[i] << 4) | row[i + 1] for i in range(0, width, 2))
        rows.append(packed)
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    colors = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(colors) + len(pixels), 0, 0,
                         14 + len(info) + len(colors))
    return header + info + colors + pixels


def write_dcr():
    classes = ["TVKINISTORE", "TVKREGISTRYSTORE", "TVKMEMORYSTORE", "TVKFORMSTATE",
               "TVKPROPERTYSTORE"]
    with tempfile.TemporaryDirectory() as tmp:
        lines = []
        for seed, name in enumerate(classes, start=9):
            bmp = os.path.join(tmp, name + ".bmp")
            with open(bmp, "wb") as f:
                f.write(palette_bitmap(seed))
            lines.append('%s BITMAP "%s"' % (name, bmp))
        write("Source\\VklReg.dcr", windres("\n".join(lines) + "\n"))

# ---------------------------------------------------------------------------------------------
# Package projects

def contains_clause(units):
    parts = []
    for name, path, form in units:
        text = "  %s in '%s'" % (name, path)
        if form:
            text += " {%s}" % form
        parts.append(text)
    return ",\n".join(parts) + ";"


def runtime_units():
    return [(u, "..\\Source\\%s.pas" % u, None) for u in RUNTIME_UNITS]


def design_units(ide):
    return DESIGN_UNITS + (DESIGNINTF_UNITS if ide.designintf else [])


def dpk(ide, design):
    name = ("dclvkl" if design else "vkl") + ide.suffix
    units = design_units(ide) if design else runtime_units()
    if design:
        requires = ["rtl", "vcl", "designide", "vkl" + ide.suffix]
        kind = "{$DESIGNONLY}"
        description = "Velkora design-time package"
    else:
        requires = ["rtl", "vcl"]
        kind = "{$RUNONLY}"
        description = "Velkora run-time package"
    if ide.index in (1, 2):
        requires = ["vcl%s" % ide.suffix] + (["vkl" + ide.suffix] if design else [])
    return """package %s;

{$R *.res}
{$ALIGN ON}
{$BOOLEVAL OFF}
{$DEBUGINFO OFF}
{$EXTENDEDSYNTAX ON}
{$IMPORTEDDATA ON}
{$IOCHECKS ON}
{$LOCALSYMBOLS OFF}
{$LONGSTRINGS ON}
{$OPENSTRINGS ON}
{$OPTIMIZATION ON}
{$OVERFLOWCHECKS OFF}
{$RANGECHECKS OFF}
{$REFERENCEINFO OFF}
{$SAFEDIVIDE OFF}
{$STACKFRAMES OFF}
{$TYPEDADDRESS OFF}
{$VARSTRINGCHECKS ON}
{$WRITEABLECONST OFF}
{$MINENUMSIZE 1}
{$IMAGEBASE $400000}
{$DESCRIPTION '%s'}
%s
{$IMPLICITBUILD OFF}

requires
%s;

contains
%s

end.
""" % (name, description, kind, ",\n".join("  " + r for r in requires), contains_clause(units))


def dcc_cfg(out, hpp, namespaces, extra_units=""):
    """Options for dcc32/dcc64: where the built package, its units and headers go."""
    lines = ["-$A8", "-$B-", "-$D-", "-$L-", "-$O+", "-$R-", "-$Q-", "-$Y-", "-$C-",
             "-H+", "-W+", "-M", "-JL",
             '-LE"%s"' % out, '-LN"%s"' % out, '-N0"%s"' % out, '-NB"%s"' % out,
             '-NH"%s"' % hpp, '-NO"%s"' % out,
             '-U"..\\Source;..\\Source\\Design%s"' % extra_units,
             '-I"..\\Source"', '-R"..\\Source"']
    if namespaces:
        lines.append('-NS"System;Xml;Data;Datasnap;Web;Soap;Vcl;Vcl.Imaging;Winapi;System.Win"')
    return "\n".join(lines) + "\n"


def old_delphi_cfg(ide):
    return ("-$A+\n-$B-\n-$D-\n-$L-\n-$O+\n-$R-\n-$Q-\n-$Y-\n-H+\n-W+\n-M\n-JL\n"
            '-LE"."\n-LN"."\n-N"."\n-U"..\\Source"\n-I"..\\Source"\n-R"..\\Source"\n')


def dof(name):
    return """[FileVersion]
Version=7.0
[Compiler]
A=8
B=0
D=0
L=0
O=1
[Linker]
ImageBase=4194304
[Directories]
OutputDir=.
UnitOutputDir=.
PackageDLLOutputDir=.
PackageDCPOutputDir=.
SearchPath=..\\Source
[Version Info]
IncludeVerInfo=1
MajorVer=%d
MinorVer=%d
Release=%d
[Version Info Keys]
CompanyName=Brightmoss
FileDescription=%s
ProductName=Velkora
ProductVersion=%s
""" % (VERSION + (name, VERSION_TEXT))


def bdsproj(ide, design):
    name = ("dclvkl" if design else "vkl") + ide.suffix
    return """<?xml version="1.0" encoding="utf-8"?>
<BorlandProject>
  <PersonalityInfo>
    <Option>
      <Option Name="Personality">Delphi.Personality</Option>
      <Option Name="ProjectType">VCLPackage</Option>
      <Option Name="Version">1.0</Option>
      <Option Name="GUID">%s</Option>
    </Option>
  </PersonalityInfo>
  <Delphi.Personality>
    <Source>
      <Source Name="MainSource">%s.dpk</Source>
    </Source>
    <Directories>
      <Directories Name="OutputDir">.</Directories>
      <Directories Name="UnitOutputDir">.</Directories>
      <Directories Name="PackageDLLOutputDir">.</Directories>
      <Directories Name="PackageDCPOutputDir">.</Directories>
      <Directories Name="SearchPath">..\\Source;..\\Source\\Design</Directories>
      <Directories Name="Packages">%s</Directories>
    </Directories>
    <VersionInfo>
      <VersionInfo Name="IncludeVerInfo">True</VersionInfo>
      <VersionInfo Name="MajorVer">%d</VersionInfo>
      <VersionInfo Name="MinorVer">%d</VersionInfo>
      <VersionInfo Name="Release">%d</VersionInfo>
    </VersionInfo>
  </Delphi.Personality>
</BorlandProject>
""" % ((project_guid(name), name, "vkl" + ide.suffix if design else "") + VERSION)


def dproj(ide, design):
    name = ("dclvkl" if design else "vkl") + ide.suffix
    units = design_units(ide) if design else runtime_units()
    requires = (["rtl", "vcl", "designide", "vkl" + ide.suffix] if design else ["rtl", "vcl"])
    platforms = "3" if ide.is64 and not design else "1"
    out = ".\\$(Platform)" if ide.is64 else "."
    refs = "\n".join('    <DCCReference Include="%s.dcp"/>' % r for r in requires)
    refs += "\n" + "\n".join(
        '    <DCCReference Include="%s">%s</DCCReference>'
        % (path, "<Form>%s</Form>" % form if form else "") for _, path, form in units)
    platform_list = ""
    if ide.is64:
        platform_list = """
      <Platforms>
        <Platform value="Win32">True</Platform>
        <Platform value="Win64">%s</Platform>
      </Platforms>""" % ("False" if design else "True")
    return """<Project xmlns="http://schemas.microsoft.com/developer/msbuild/2003">
  <PropertyGroup>
    <ProjectGuid>%s</ProjectGuid>
    <MainSource>%s.dpk</MainSource>
    <ProjectVersion>%s</ProjectVersion>
    <FrameworkType>VCL</FrameworkType>
    <AppType>Package</AppType>
    <Base>True</Base>
    <Config Condition="'$(Config)'==''">Release</Config>
    <Platform Condition="'$(Platform)'==''">Win32</Platform>
    <TargetedPlatforms>%s</TargetedPlatforms>
  </PropertyGroup>
  <PropertyGroup Condition="'$(Base)'!=''">
    <DCC_Description>Velkora %s package</DCC_Description>
    <%s>true</%s>
    <GenDll>true</GenDll>
    <GenPackage>true</GenPackage>
    <DCC_CBuilderOutput>All</DCC_CBuilderOutput>
    <DCC_DcuOutput>%s</DCC_DcuOutput>
    <DCC_BplOutput>%s</DCC_BplOutput>
    <DCC_DcpOutput>%s</DCC_DcpOutput>
    <DCC_HppOutput>%s</DCC_HppOutput>
    <DCC_UnitSearchPath>..\\Source;..\\Source\\Design;$(DCC_UnitSearchPath)</DCC_UnitSearchPath>
    <VerInfo_Keys>CompanyName=Brightmoss;FileDescription=Velkora;FileVersion=%s;ProductName=Velkora;ProductVersion=%s</VerInfo_Keys>
  </PropertyGroup>
  <ItemGroup>
    <DelphiCompile Include="$(MainSource)">
      <MainSource>MainSource</MainSource>
    </DelphiCompile>
%s
  </ItemGroup>
  <Import Project="$(BDS)\\Bin\\CodeGear.Delphi.Targets" Condition="Exists('$(BDS)\\Bin\\CodeGear.Delphi.Targets')"/>
  <ProjectExtensions>
    <Borland.Personality>Delphi.Personality.12</Borland.Personality>
    <Borland.ProjectType>Package</Borland.ProjectType>
    <BorlandProject>
      <Delphi.Personality>
        <Source>
          <Source Name="MainSource">%s.dpk</Source>
        </Source>
      </Delphi.Personality>%s
    </BorlandProject>
    <ProjectFileVersion>12</ProjectFileVersion>
  </ProjectExtensions>
</Project>
""" % (project_guid(name), name, ide.project_version, platforms,
       "design-time" if design else "run-time",
       "DesignOnlyPackage" if design else "RuntimeOnlyPackage",
       "DesignOnlyPackage" if design else "RuntimeOnlyPackage", out, out, out,
       out if ide.is64 else "..\\Source", VERSION_DOTS, VERSION_TEXT, refs, name, platform_list)


def cb_package_cpp(ide, design):
    name = ("dclvkl" if design else "vkl") + ide.suffix
    units = design_units(ide) if design else runtime_units()
    lines = ["//---------------------------------------------------------------------------",
             "// %s: Velkora %s package for %s." % (name, "design-time" if design else "run-time",
                                                     ide.caption),
             "#include <vcl.h>", "#pragma hdrstop"]
    if ide.index in (4, 5, 6):
        lines.append('USEPACKAGE("vcl%s.bpi");' % ide.suffix)
        if design:
            lines.append('USEPACKAGE("vkl%s.bpi");' % ide.suffix)
        for _, path, _form in units:
            lines.append('USEUNIT("%s");' % path)
    lines += ["//---------------------------------------------------------------------------",
              "#pragma package(smart_init)",
              "//---------------------------------------------------------------------------",
              "// Package entry point, required for packages built by C++Builder.",
              "int WINAPI DllEntryPoint(HINSTANCE hinst, unsigned long reason, void*)",
              "{", "    return 1;", "}",
              "//---------------------------------------------------------------------------"]
    return "\n".join(lines) + "\n"


def cb_makefile(ide, design, exported):
    name = ("dclvkl" if design else "vkl") + ide.suffix
    units = design_units(ide) if design else runtime_units()
    objs = " \\\n    ".join(["%s.obj" % name] + ["%s.obj" % u for u, _, _ in units])
    packages = "vcl%s.bpi" % ide.suffix + (" vkl%s.bpi" % ide.suffix if design else "")
    version = {"40": "BCB.04.04", "50": "BCB.05.03", "60": "BCB.06.00", "35": "BCB.03"}[ide.suffix]
    head = "# Makefile exported from the package project %s.bpk\n" % name if exported else ""
    return head + """# ---------------------------------------------------------------------------
!if !$d(BCB)
BCB = $(MAKEDIR)\\..
!endif

# ---------------------------------------------------------------------------
# IDE SECTION
# ---------------------------------------------------------------------------
VERSION = %s
# ---------------------------------------------------------------------------
PROJECT = %s.bpl
OBJFILES = %s
RESFILES =
DEFFILE =
RESDEPEN = $(RESFILES)
LIBFILES =
LIBRARIES =
SPARELIBS = Vcl%s.lib
PACKAGES = %s
PATHCPP = .;
PATHPAS = .;..\\Source;..\\Source\\Design
PATHASM = .;
PATHRC = .;
DEBUGLIBPATH = $(BCB)\\lib\\debug
RELEASELIBPATH = $(BCB)\\lib\\release
SYSDEFINES = _RTLDLL;NO_STRICT;USEPACKAGES
# ---------------------------------------------------------------------------
CFLAG1 = -I..\\Source;$(BCB)\\include;$(BCB)\\include\\vcl -O2 -Hc -H=$(BCB)\\lib\\vcl%s.csm -w -Ve -a8 -k- -vi -c -b- -w-par -w-inl -Vx -tWM -D$(SYSDEFINES)
PFLAGS = -U..\\Source;$(BCB)\\lib\\obj;$(BCB)\\lib;$(RELEASELIBPATH) -I..\\Source;$(BCB)\\include;$(BCB)\\include\\vcl -$Y- -$L- -$D- -v -JPHNE -M
RFLAGS = -i..\\Source;$(BCB)\\include;$(BCB)\\include\\vcl
LFLAGS = -L..\\Source;$(BCB)\\lib\\obj;$(BCB)\\lib;$(RELEASELIBPATH) -D"Velkora %s package" -aa -Tpp -Gpr -x -Gn -Gl -Gi
# ---------------------------------------------------------------------------
ALLOBJ = c0pkg32.obj $(PACKAGES) Memmgr.Lib sysinit.obj $(OBJFILES)
ALLRES = $(RESFILES)
ALLLIB = $(LIBFILES) $(LIBRARIES) import32.lib cp32mt.lib
# ---------------------------------------------------------------------------
!if !$d(BCC32)
BCC32 = bcc32
!endif
!if !$d(DCC32)
DCC32 = dcc32
!endif
!if !$d(LINKER)
LINKER = ilink32
!endif
!if !$d(BRCC32)
BRCC32 = brcc32
!endif
# ---------------------------------------------------------------------------
.autodepend
.PATH.CPP = $(PATHCPP)
.PATH.PAS = $(PATHPAS)
.PATH.RC = $(PATHRC)

$(PROJECT): $(OBJFILES) $(RESDEPEN) $(DEFFILE)
    $(BCB)\\BIN\\$(LINKER) @&&!
    $(LFLAGS) +
    $(ALLOBJ), +
    $(PROJECT),, +
    $(ALLLIB), +
    $(DEFFILE), +
    $(ALLRES)
!

.pas.hpp:
    $(BCB)\\BIN\\$(DCC32) $(PFLAGS) {$< }

.pas.obj:
    $(BCB)\\BIN\\$(DCC32) $(PFLAGS) {$< }

.cpp.obj:
    $(BCB)\\BIN\\$(BCC32) $(CFLAG1) -n$(@D) {$< }

.rc.res:
    $(BCB)\\BIN\\$(BRCC32) $(RFLAGS) -fo$@ $<
# ---------------------------------------------------------------------------
""" % (version, name, objs, ide.suffix, packages, ide.suffix,
       "design-time" if design else "run-time")


def cb6_bpk(ide, design):
    name = ("dclvkl" if design else "vkl") + ide.suffix
    units = design_units(ide) if design else runtime_units()
    objs = " ".join(["%s.obj" % name] + ["%s.obj" % u for u, _, _ in units])
    packages = "rtl.bpi vcl.bpi" + (" designide.bpi vkl60.bpi" if design else "")
    files = "\n".join('      <FILE FILENAME="%s" FORMNAME="%s" UNITNAME="%s" CONTAINERID="PascalCompiler" DESIGNCLASS="" LOCALCOMMAND=""/>'
                      % (path, form or "", unit) for unit, path, form in units)
    return """<?xml version='1.0' encoding='utf-8' ?>
<!-- C++Builder Project File Version 6.0 -->
<PROJECT>
  <MACROS>
    <VERSION value="BCB.06.00"/>
    <PROJECT value="%s.bpl"/>
    <OBJFILES value="%s"/>
    <RESFILES value=""/>
    <PACKAGES value="%s"/>
    <PATHCPP value=".;"/>
    <PATHPAS value=".;..\\Source;..\\Source\\Design"/>
    <USERDEFINES value="NDEBUG"/>
    <SYSDEFINES value="_RTLDLL;NO_STRICT;USEPACKAGES"/>
    <INCLUDEPATH value="..\\Source;$(BCB)\\include;$(BCB)\\include\\vcl"/>
    <LIBPATH value="..\\Source;$(BCB)\\lib\\obj;$(BCB)\\lib"/>
  </MACROS>
  <OPTIONS>
    <CFLAG1 value="-O2 -H=$(BCB)\\lib\\vcl60.csm -Hc -Vx -Ve -X- -a8 -b- -k- -vi -c -tWM"/>
    <PFLAGS value="-$Y- -$L- -$D- -$A8 -v -JPHNE -M"/>
    <LFLAGS value="-D&quot;Velkora %s package&quot; -aa -Tpp -Gpr -x -Gn -Gl -Gi"/>
  </OPTIONS>
  <FILELIST>
      <FILE FILENAME="%s.cpp" FORMNAME="" UNITNAME="%s" CONTAINERID="CCompiler" DESIGNCLASS="" LOCALCOMMAND=""/>
%s
  </FILELIST>
  <IDEOPTIONS>
[Version Info]
IncludeVerInfo=1
MajorVer=%d
MinorVer=%d
Release=%d

[Version Info Keys]
CompanyName=Brightmoss
ProductName=Velkora
ProductVersion=%s
  </IDEOPTIONS>
</PROJECT>
""" % ((name, objs, packages, "design-time" if design else "run-time", name, name, files)
       + VERSION + (VERSION_TEXT,))


def ide_file(ide, name):
    """Content of one package project file of a version."""
    design = name.startswith("dcl")
    stem, ext = os.path.splitext(name)
    if name == "dcc32.cfg":
        return dcc_cfg(".\\Win32", ".\\Win32", ide.index >= 16)
    if name == "dcc64.cfg":
        return dcc_cfg(".\\Win64", ".\\Win64", True)
    if ext == ".dpk":
        return dpk(ide, design)
    if ext == ".res":
        return version_res("Velkora %s package" % ("design-time" if design else "run-time"),
                           stem)
    if ext == ".cfg":
        if ide.kind in ("bds2006", "dproj") and ide.index >= 10:
            return dcc_cfg(".", "..\\Source", False)
        return old_delphi_cfg(ide)
    if ext == ".dof":
        return dof(stem)
    if ext == ".bdsproj":
        return bdsproj(ide, design)
    if ext == ".dproj":
        return dproj(ide, design)
    if ext == ".cpp":
        return cb_package_cpp(ide, design)
    if ext == ".bpk":
        if ide.index == 8:
            return cb6_bpk(ide, design)
        return cb_makefile(ide, design, exported=False)
    if ext == ".mak":
        return cb_makefile(ide, design, exported=True)
    raise ValueError(name)

# ---------------------------------------------------------------------------------------------
# C++Builder demo projects

DEMOS = [
    ("IniDemo", "TVkIniStore", "Settings in an INI file", None),
    ("RegistryDemo", "TVkRegistryStore", "Settings in the registry", None),
    ("FormStateDemo", "TVkIniStore", "Form position and size restored", "ChildForm"),
    ("PropStoreDemo", "TVkIniStore", "Component properties stored", "OptionsForm"),
    ("MemoryDemo", "TVkMemoryStore", "Settings in memory", None),
    ("ProfilesDemo", "TVkRegistryStore", "One store, several profiles", "ProfileForm"),
    ("ObserverDemo", "TVkMemoryStore", "Observers of changed values", "LogForm"),
]


def demo_files(demo):
    name, store_class, caption, second = demo
    forms = ["MainForm"] + ([second] if second else [])
    files = {}
    uses_forms = "\n".join('USEFORM("%s.cpp", %s);' % (f, form_var(f)) for f in forms)
    files[name + ".cpp"] = """//---------------------------------------------------------------------------
// %s: %s.
#include <vcl.h>
#pragma hdrstop
%s
//---------------------------------------------------------------------------
WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->Title = "Velkora %s";
%s        Application->Run();
    }
    catch (Exception &exception)
    {
        Application->ShowException(&exception);
    }
    return 0;
}
//---------------------------------------------------------------------------
""" % (name, caption, uses_forms, name,
       "".join("        Application->CreateForm(__classid(T%s), &%s);\n" % (form_class(f), form_var(f))
               for f in forms))
    files[name + ".bpr"] = cb6_bpr(name, forms)
    files[name + ".res"] = windres('#include <winver.h>\n1 VERSIONINFO\nFILEVERSION %s\n'
                                   'PRODUCTVERSION %s\nFILETYPE VFT_APP\nBEGIN\n'
                                   '  BLOCK "StringFileInfo"\n  BEGIN\n    BLOCK "040904E4"\n'
                                   '    BEGIN\n      VALUE "FileDescription", "Velkora %s"\n'
                                   '      VALUE "ProductVersion", "%s"\n    END\n  END\nEND\n'
                                   % (VERSION_COMMAS, VERSION_COMMAS, name, VERSION_TEXT))
    for f in forms:
        main = f == "MainForm"
        files[f + ".h"] = form_header(f, store_class, main, second)
        files[f + ".cpp"] = form_source(f, store_class, main, second, name)
        files[f + ".dfm"] = form_dfm(f, store_class, main, caption if main else f)
    return files


def form_class(form):
    return form


def form_var(form):
    return form[0] + form[1:]


def form_header(form, store_class, main, second):
    guard = form.upper() + "H"
    members = ""
    handlers = ""
    includes = ""
    if main:
        members = ("        %s *Store;\n        TEdit *ValueEdit;\n        TButton *SaveButton;\n"
                   "        TButton *LoadButton;\n        TVkFormState *FormState;\n" % store_class)
        handlers = ("        void __fastcall SaveButtonClick(TObject *Sender);\n"
                    "        void __fastcall LoadButtonClick(TObject *Sender);\n")
        if second:
            members += "        TButton *OpenButton;\n"
            handlers += "        void __fastcall OpenButtonClick(TObject *Sender);\n"
        includes = '#include "%s.hpp"\n#include "VklFormState.hpp"\n' % {
            "TVkIniStore": "VklIniStore", "TVkRegistryStore": "VklRegStore",
            "TVkMemoryStore": "VklMemStore"}[store_class]
    else:
        members = "        TMemo *Memo;\n        TButton *CloseButton;\n"
        handlers = "        void __fastcall CloseButtonClick(TObject *Sender);\n"
    return """//---------------------------------------------------------------------------
#ifndef %s
#define %s
//---------------------------------------------------------------------------
#include <Classes.hpp>
#include <Controls.hpp>
#include <StdCtrls.hpp>
#include <Forms.hpp>
%s//---------------------------------------------------------------------------
class T%s : public TForm
{
__published:    // IDE-managed Components
%s%sprivate:        // User declarations
public:         // User declarations
        __fastcall T%s(TComponent* Owner);
};
//---------------------------------------------------------------------------
extern PACKAGE T%s *%s;
//---------------------------------------------------------------------------
#endif
""" % (guard, guard, includes, form, members, handlers, form, form, form_var(form))


def form_source(form, store_class, main, second, demo):
    body = ""
    if main:
        body = """//---------------------------------------------------------------------------
void __fastcall T%s::SaveButtonClick(TObject *Sender)
{
    Store->WriteString("%s", "Value", ValueEdit->Text);
}
//---------------------------------------------------------------------------
void __fastcall T%s::LoadButtonClick(TObject *Sender)
{
    ValueEdit->Text = Store->ReadString("%s", "Value", "");
}
""" % (form, demo, form, demo)
        if second:
            body += """//---------------------------------------------------------------------------
void __fastcall T%s::OpenButtonClick(TObject *Sender)
{
    %s->Show();
}
""" % (form, form_var(second))
    else:
        body = """//---------------------------------------------------------------------------
void __fastcall T%s::CloseButtonClick(TObject *Sender)
{
    Close();
}
""" % form
    include_second = '#include "%s.h"\n' % second if main and second else ""
    return """//---------------------------------------------------------------------------
#include <vcl.h>
#pragma hdrstop

#include "%s.h"
%s//---------------------------------------------------------------------------
#pragma package(smart_init)
#pragma resource "*.dfm"
T%s *%s;
//---------------------------------------------------------------------------
__fastcall T%s::T%s(TComponent* Owner)
        : TForm(Owner)
{
}
%s//---------------------------------------------------------------------------
""" % (form, include_second, form, form_var(form), form, form, body)


def form_dfm(form, store_class, main, caption):
    if main:
        controls = """  object ValueEdit: TEdit
    Left = 16
    Top = 16
    Width = 281
    Height = 21
    TabOrder = 0
  end
  object SaveButton: TButton
    Left = 16
    Top = 48
    Width = 75
    Height = 25
    Caption = '&Save'
    TabOrder = 1
    OnClick = SaveButtonClick
  end
  object LoadButton: TButton
    Left = 104
    Top = 48
    Width = 75
    Height = 25
    Caption = '&Load'
    TabOrder = 2
    OnClick = LoadButtonClick
  end
  object Store: %s
    Left = 16
    Top = 88
  end
  object FormState: TVkFormState
    Store = Store
    Section = 'MainForm'
    Left = 56
    Top = 88
  end
""" % store_class
    else:
        controls = """  object Memo: TMemo
    Left = 8
    Top = 8
    Width = 289
    Height = 121
    TabOrder = 0
  end
  object CloseButton: TButton
    Left = 222
    Top = 136
    Width = 75
    Height = 25
    Caption = '&Close'
    TabOrder = 1
    OnClick = CloseButtonClick
  end
"""
    return """object %s: T%s
  Left = 192
  Top = 133
  Width = 321
  Height = 201
  Caption = '%s'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  PixelsPerInch = 96
  TextHeight = 13
%send
""" % (form_var(form), form, caption, controls)


def cb6_bpr(name, forms):
    objs = " ".join(["%s.obj" % name] + ["%s.obj" % f for f in forms])
    files = "\n".join('      <FILE FILENAME="%s.cpp" FORMNAME="%s" UNITNAME="%s" CONTAINERID="CCompiler" DESIGNCLASS="" LOCALCOMMAND=""/>'
                      % (f, form_var(f), f) for f in forms)
    return """<?xml version='1.0' encoding='utf-8' ?>
<!-- C++Builder Project File Version 6.0 -->
<PROJECT>
  <MACROS>
    <VERSION value="BCB.06.00"/>
    <PROJECT value="%s.exe"/>
    <OBJFILES value="%s"/>
    <RESFILES value="%s.res"/>
    <PACKAGES value="rtl.bpi vcl.bpi vkl60.bpi"/>
    <INCLUDEPATH value="..\\..\\Source;$(BCB)\\include;$(BCB)\\include\\vcl"/>
    <LIBPATH value="..\\..\\CBuilder6;$(BCB)\\lib\\obj;$(BCB)\\lib"/>
    <SYSDEFINES value="_RTLDLL;NO_STRICT;USEPACKAGES"/>
  </MACROS>
  <OPTIONS>
    <CFLAG1 value="-O2 -H=$(BCB)\\lib\\vcl60.csm -Hc -Vx -Ve -X- -a8 -b- -k- -vi -c -tW -tWM"/>
    <LFLAGS value="-D&quot;&quot; -aa -Tpe -x -Gn"/>
  </OPTIONS>
  <FILELIST>
      <FILE FILENAME="%s.cpp" FORMNAME="" UNITNAME="%s" CONTAINERID="CCompiler" DESIGNCLASS="" LOCALCOMMAND=""/>
      <FILE FILENAME="%s.res" FORMNAME="" UNITNAME="%s.res" CONTAINERID="ResTool" DESIGNCLASS="" LOCALCOMMAND=""/>
%s
  </FILELIST>
</PROJECT>
""" % (name, objs, name, name, name, name, name, files)


DEMO_README = """Velkora demo projects for C++Builder
====================================

Open a project (.bpr) in C++Builder 6; C++Builder 4 and 5 convert it when it is opened.
Every project uses the run-time package vkl60.bpl of the library.

"""

# ---------------------------------------------------------------------------------------------
# Payload ids and the script

class Script:
    def __init__(self):
        self.lines = []
        self.rows = 0
        self.resources = []        # (id, path relative to the payload folder)

    def comment(self, text):
        self.lines.append("    // %s" % text)

    def row(self, text):
        self.lines.append("    %s," % text)
        self.rows += 1

    def payload(self, rid, rel):
        self.resources.append((rid, rel))


# Flags of a logged row that the uninstaller skips on a partial uninstall.
LOG_KEEP = "ifLogUninstall | ifKeepOnPartial"


def c_string(text):
    return 'L"%s"' % text.replace("\\", "\\\\")


def hexkey(value):
    return ("0x%08X" if value >= 0x1000000 else "0x%X") % value


def generate():
    s = Script()
    ids = {}

    def extract(rel, rid, kind="siExtractFile", flags="0", dir_code="dcInstall", payload_rel=None):
        s.row("Row(%s, %s, %s, %d, %s)" % (kind, flags, c_string(rel), rid, dir_code))
        if payload_rel is not None:
            s.payload(rid, payload_rel)
        ids[rel] = rid

    def extract_files(rels, rid):
        """Extracting rows for payload files numbered from rid on; answers the next free id."""
        for rel in rels:
            extract(rel, rid, payload_rel=rel)
            rid += 1
        return rid

    s.comment("Product information: the header records of the uninstall log, the end of the header last.")
    for code in ("piProductName", "piProductVersion", "piProductType", "piInstallDir",
                 "piProductRegKey", "piUninstallEntryName", "piHeaderEnd"):
        s.row("Row(siProductInfo, ifLogUninstall, nullptr, %s, 0)" % code)

    s.comment("The installation directory, the library sources and the documents.")
    s.row('Row(siCreateDir, ifLogUninstall, L"", 0, dcInstall)')
    s.row('Row(siCreateDir, ifLogUninstall, L"Source", 0, dcInstall)')
    rid = extract_files(SOURCE_FILES + DOCUMENTS, 1)
    s.comment("Design-time editors for the IDEs with the DesignIntf interfaces (all but C++Builder 4, 5).")
    s.row("Row(siIfItems, 0, nullptr, 0x3FFFFC48, 0)")
    s.row('Row(siCreateDir, ifLogUninstall, L"Source\\\\Design", 0, dcInstall)')
    rid = extract_files(DESIGN_FILES, rid)
    s.row("Row(siEndIfItems, 0, nullptr, 0x3FFFFC48, 0)")

    s.comment("Context help: WinHelp files registered with Windows.")
    s.row("Row(siIfItems, 0, nullptr, 0x80, 0)")
    s.row('Row(siCreateDir, ifLogUninstall, L"Help", 0, dcInstall)')
    rid = extract_files(HELP_FILES, 100)
    s.row('Row(siSetHelpDir, 0, L"Help", 0, dcInstall)')
    s.row('Row(siRegisterWinHelp, ifLogUninstall, L"vklib.hlp", 0, 0)')
    s.row('Row(siRegisterWinHelp, ifLogUninstall, L"vklib.cnt", 0, 0)')
    s.comment("Context help: OpenHelp alias and keyword files for the C++Builder IDEs.")
    s.row("Row(siIfItems, 0, nullptr, 0x448, 0)")
    rid = extract_files(OPENHELP_FILES, rid)
    s.row("Row(siEndIfItems, 0, nullptr, 0x448, 0)")
    s.comment("Context help: the Help 2 collection of Developer Studio 2006, registered by batch.")
    s.row("Row(siIfItems, 0, nullptr, 0x1000, 0)")
    rid = extract_files(HELP2_FILES, rid)
    s.row('Row(siRegisterHelp, ifLogUninstall, L"help\\\\help_reg.bat", 0, 0)')
    s.row("Row(siEndIfItems, 0, nullptr, 0x1000, 0)")
    s.row("Row(siEndIfItems, 0, nullptr, 0x80, 0)")

    s.comment("Code templates, the uninstaller and its Windows entry, the about-box library.")
    extract("vklib.dct", 150, "siExtractFileIfAbsent", LOG_KEEP, "dcWindows",
            payload_rel="Windows\\vklib.dct")
    extract("unbrm.exe", 151, "siExtractFileIfNewer")
    s.payload(151, "@UNBRM")
    s.row('Row(siRegisterUninstall, ifLogUninstall, L"unbrm.exe", 0, dcInstall)')
    extract("Source\\vkabout.dll", 152)
    s.payload(152, "@ABOUT")

    def ide_block(ide, base):
        opener = "Row(siIfItems, 0, nullptr, %s, 0)" % hexkey(ide.item_mask)
        s.comment("%s (IDE %d): package projects, builds, registration and paths."
                  % (ide.caption, ide.index))
        s.row(opener)
        s.row("Row(siSetIde, ifLogUninstall, %s, %d, 0)" % (c_string(ide.folder), ide.index))
        s.row("Row(siCreateDir, ifLogUninstall, %s, 0, dcInstall)" % c_string(ide.folder))
        s.row("Row(siClearDir, 0, %s, 0, dcInstall)" % c_string(ide.folder))
        if ide.is64:
            s.row("Row(siCreateDir, ifLogUninstall, %s, 0, dcInstall)" % c_string(ide.folder + "\\Win32"))
            s.row("Row(siCreateDir, ifLogUninstall, %s, 0, dcInstall)" % c_string(ide.folder + "\\Win64"))
        for offset, name in enumerate(package_files(ide)):
            rel = ide.folder + "\\" + name
            extract(rel, base + offset, payload_rel=rel)
        s.row("Row(siSetCurrentDir, 0, %s, 0, dcInstall)" % c_string(ide.folder))
        bit = hexkey(ide.bit)
        pkg = PACKAGE_ORDER.index(ide)
        s.row("Row(siCompilePackage, 0, %s, %s, 0)" % (c_string(build_name(ide, False)), bit))
        bpl = output_dir(ide) + "\\vkl%s.bpl" % ide.suffix
        s.row("Row(siCheckFile, 0, %s, 0, dcInstall)" % c_string(bpl))
        s.row("CopyTo(%s, dcInstall, %d)" % (c_string(bpl), pkg))
        s.row("Row(siCompilePackage, 0, %s, %s, 0)" % (c_string(build_name(ide, True)), bit))
        dcl = output_dir(ide) + "\\dclvkl%s.bpl" % ide.suffix
        s.row("Row(siCheckFile, 0, %s, 0, dcInstall)" % c_string(dcl))
        s.row("Row(siRegisterPackage, ifLogUninstall, %s, 0, dcInstall)" % c_string(dcl))
        if ide.kind == "cbuilder":
            s.row('Row(siAddSearchPath, ifLogUninstall, L"Source", 0, dcInstall)')
            n = ide.suffix[0]
            help_rows = []
            if ide.index == 5:
                help_rows.append('Row(siModifyHelpFile, ifLogUninstall, L"\\r\\n:Link vklib.hlp", 1, dcIdeHelp)')
            first = 2 if ide.index == 5 else 1
            help_rows.append('Row(siModifyHelpFile, ifLogUninstall, L"\\r\\n:Index Velkora components=vklib.hlp", %d, dcIdeHelp)' % first)
            help_rows.append('Row(siModifyHelpFile, ifLogUninstall, L"\\r\\n:Link vklib.hlp", %d, dcIdeHelp)' % (first + 1))
            help_rows.append('Row(siDeleteFile, ifLogUninstall, L"Help\\\\bcb%s.gid", 0, dcIdeRoot)' % n)
            if ide.index == 8:
                help_rows.append('Copy(siMergeFiles, L"Help\\\\vklib.als", dcInstall, L"bcb6.als", dcIdeHelp)')
                s.row("Row(siIfItems, 0, nullptr, 0x80, 0)")
                for r in help_rows:
                    s.row(r)
                s.row("Row(siEndIfItems, 0, nullptr, 0x80, 0)")
            else:
                for r in help_rows:
                    s.row(r)
        else:
            if ide.is64:
                win64 = []
                win64.append("Build64(%s, %s)" % (c_string(build_name(ide, False)), bit))
                win64.append("Row(siCheckFile, 0, %s, 0, dcInstall)"
                             % c_string(output_dir(ide, True) + "\\vkl%s.bpl" % ide.suffix))
                win64.append('Row(siAddIdePath, ifLogUninstall, L"\\\\Library\\\\Win64\\\\Search Path", sfIdeWin64, dcInstall)')
                if ide.index >= 18:
                    win64.append('Row(siAddIdePath, ifLogUninstall, L"\\\\C++\\\\Paths\\\\Win64\\\\LibraryPath", sfIdeWin64, dcInstall)')
                if ide.index in DCC64_KEYS:
                    key = hexkey(DCC64_KEYS[ide.index])
                    s.row('Row(siIfFileExists, 0, L"bin\\\\dcc64.exe", %s, dcIdeRoot)' % key)
                    for r in win64:
                        s.row(r)
                    s.row("Row(siEndIfFileExists, 0, nullptr, %s, 0)" % key)
                else:
                    for r in win64:
                        s.row(r)
                s.row('Row(siAddIdePath, ifLogUninstall, L"\\\\C++\\\\Paths\\\\Win32\\\\LibraryPath", sfIdeWin32, dcInstall)')
                s.row('Row(siAddIdePath, ifLogUninstall, L"\\\\Library\\\\Win32\\\\Search Path", sfIdeWin32, dcInstall)')
            else:
                if ide.index <= 15:
                    s.row('Copy(siCopyFiles, L"Source\\\\*.hpp", dcInstall, %s, dcInstall)'
                          % c_string(ide.folder + "\\*.hpp"))
                    s.row('Row(siDeleteFiles, 0, L"Source\\\\*.hpp", 0, dcInstall)')
                if ide.index == 11:
                    s.row('Row(siAddIdePath, ifLogUninstall, L"\\\\CppPaths\\\\SearchPath", sfIde, dcInstall)')
                else:
                    s.row('Row(siAddIdePath, ifLogUninstall, L"\\\\C++\\\\Paths\\\\SearchPath", sfIde, dcInstall)')
                    s.row('Row(siAddIdePath, ifLogUninstall, L"\\\\C++\\\\Paths\\\\LibraryPath", sfIde, dcInstall)')
                if ide.index == 15:
                    s.row('Row(siAddIdePath, ifLogUninstall, L"\\\\Library\\\\Search Path", sfIde, dcInstall)')
        s.row("Row(siSetIde, ifLogUninstall, %s, %d, 0)" % (c_string(ide.folder), ide.index))
        s.row("Row(siEndIfItems, 0, nullptr, %s, 0)" % hexkey(ide.item_mask))

    for ide in BDS[:13]:
        ide_block(ide, 1000 + 100 * (ide.index - 11))
    for ide, base in zip(CBUILDERS, (400, 500, 600)):
        ide_block(ide, base)

    s.comment("Demo projects: the Demos directory, for the demos of any C++Builder.")
    s.row("Row(siIfItems, 0, nullptr, 0x300, 0)")
    s.row('Row(siCreateDir, ifLogUninstall, L"Demos", 0, dcInstall)')
    s.row("Row(siEndIfItems, 0, nullptr, 0x300, 0)")
    s.comment("Demo projects: the C++Builder demos, one directory each.")
    s.row("Row(siIfItems, 0, nullptr, 0x200, 0)")
    rid = 200
    extract("Demos\\ReadMe.txt", rid, payload_rel="Demos\\ReadMe.txt")
    write("Demos\\ReadMe.txt", DEMO_README + "".join(
        "  %-15s %s\n" % (d[0], d[2]) for d in DEMOS))
    rid += 1
    for demo in DEMOS:
        folder = "Demos\\" + demo[0]
        s.row("Row(siCreateDir, 0, %s, 0, dcInstall)" % c_string(folder))
        for name, data in demo_files(demo).items():
            rel = folder + "\\" + name
            write(rel, data)
            extract(rel, rid, payload_rel=rel)
            rid += 1
    s.row("Row(siEndIfItems, 0, nullptr, 0x200, 0)")

    for ide in BDS[13:]:
        ide_block(ide, 1000 + 100 * (ide.index - 11))

    s.comment("Sources that only the package builds need, removed once the packages are built.")
    for unit in PRIVATE_UNITS:
        s.row("Row(siDeleteFile, ifLogUninstall, %s, 0, dcInstall)" % c_string("Source\\%s.pas" % unit))
    s.comment("The key of the installation record, removed except on a partial uninstall.")
    s.row('Row(siCreateRegKey, %s, L"Software\\\\Brightmoss\\\\Velkora", 0x80000002, 0)' % LOG_KEEP)

    # Files of every version, also those never written.
    for ide, base in zip(NOT_OFFERED, range(800, 870, 10)):
        for offset, name in enumerate(package_files(ide)):
            rel = ide.folder + "\\" + name
            s.payload(base + offset, rel)
    for ide in NOT_OFFERED + CBUILDERS + BDS:
        for name in package_files(ide):
            write(ide.folder + "\\" + name, ide_file(ide, name))
    write_dcr()
    return s


def write_payload_rc(script):
    lines = ["// Payload of setup.exe: every file it installs, as resources of type VKLIB.",
             "// Written by generate.py beside it; the ids are the Code fields of the install",
             "// script. Files built by this build come through payload_paths.h.",
             '#include "payload_paths.h"', ""]
    for rid, rel in sorted(script.resources):
        if rel == "@UNBRM":
            source = "VK_PAYLOAD_UNBRM"
        elif rel == "@ABOUT":
            source = "VK_PAYLOAD_ABOUT"
        else:
            source = '"resources/payload/%s"' % rel.replace("\\", "/")
        lines.append("%d VKLIB %s" % (rid, source))
    write_text(out_path("resources", "payload", "payload.rc"), lines)


def write_rows(name, what, rows):
    """A rows-only file that script/UScriptItems.cpp includes inside an array's braces."""
    write_text(out_path("script", name),
               ["// Generated by resources/payload/generate.py: do not edit.",
                "// %s, included by script/UScriptItems.cpp." % what] + rows)


def write_text(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    written.append(os.path.relpath(path, OUT_ROOT).replace(os.sep, "\\"))


def main():
    global OUT_ROOT
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", help="write below this folder instead of the source tree")
    OUT_ROOT = os.path.abspath(parser.parse_args().out or ROOT)
    script = generate()
    write_payload_rc(script)
    write_rows("UScriptTable.inc", "The rows of the install script, ScriptItems", script.lines)
    write_rows("UPackageFiles.inc", "The built run-time packages' destinations, PackageFiles",
               ["    {%s, dcSystem}," % c_string("vkl%s.bpl" % ide.suffix)
                for ide in PACKAGE_ORDER])
    print("%d rows, %d resources, %d generated files" % (script.rows, len(script.resources),
                                                          len(written)))


if __name__ == "__main__":
    main()
