unit VklRegAccess;

{ Thin registry access for TVkRegistryStore: string values only, every key closed again. }

{$I Velkora.inc}

interface

uses
  Windows, Classes;

function VkRegRead(Root: HKEY; const Key, Name: string; out Value: string): Boolean;
procedure VkRegWrite(Root: HKEY; const Key, Name, Value: string);
procedure VkRegDelete(Root: HKEY; const Key, Name: string);
procedure VkRegSubKeys(Root: HKEY; const Key: string; Strings: TStrings);

implementation

uses
  Registry;

function VkRegRead(Root: HKEY; const Key, Name: string; out Value: string): Boolean;
var
  Reg: TRegistry;
begin
  Reg := TRegistry.Create(KEY_READ);
  try
    Reg.RootKey := Root;
    Result := Reg.OpenKeyReadOnly(Key) and Reg.ValueExists(Name) and
      (Reg.GetDataType(Name) = rdString);
    if Result then
      Value := Reg.ReadString(Name);
  finally
    Reg.Free;
  end;
end;

procedure VkRegWrite(Root: HKEY; const Key, Name, Value: string);
var
  Reg: TRegistry;
begin
  Reg := TRegistry.Create;
  try
    Reg.RootKey := Root;
    if Reg.OpenKey(Key, True) then
      Reg.WriteString(Name, Value);
  finally
    Reg.Free;
  end;
end;

procedure VkRegDelete(Root: HKEY; const Key, Name: string);
var
  Reg: TRegistry;
begin
  Reg := TRegistry.Create;
  try
    Reg.RootKey := Root;
    if Reg.OpenKey(Key, False) then
      Reg.DeleteValue(Name);
  finally
    Reg.Free;
  end;
end;

procedure VkRegSubKeys(Root: HKEY; const Key: string; Strings: TStrings);
var
  Reg: TRegistry;
begin
  Reg := TRegistry.Create(KEY_READ);
  try
    Reg.RootKey := Root;
    if Reg.OpenKeyReadOnly(Key) then
      Reg.GetKeyNames(Strings);
  finally
    Reg.Free;
  end;
end;

end.
