unit VklRtti;

{ Published properties as text, for TVkPropertyStore. Ordinal, enumeration, set, float and
  string properties are supported; others are passed over. }

{$I Velkora.inc}

interface

uses
  Classes, TypInfo;

function VkHasProperty(Instance: TPersistent; const Name: string): Boolean;
function VkGetPropertyText(Instance: TPersistent; const Name: string): string;
procedure VkSetPropertyText(Instance: TPersistent; const Name, Value: string);

implementation

uses
  SysUtils;

function VkHasProperty(Instance: TPersistent; const Name: string): Boolean;
var
  Info: PPropInfo;
begin
  Info := GetPropInfo(Instance.ClassInfo, Name);
  Result := (Info <> nil) and (Info^.PropType^.Kind in [tkInteger, tkChar, tkEnumeration,
    tkFloat, tkString, tkSet, tkWChar, tkLString, tkWString]);
end;

function VkGetPropertyText(Instance: TPersistent; const Name: string): string;
var
  Info: PPropInfo;
begin
  Info := GetPropInfo(Instance.ClassInfo, Name);
  case Info^.PropType^.Kind of
    tkEnumeration: Result := GetEnumProp(Instance, Name);
    tkSet: Result := GetSetProp(Instance, Name);
    tkFloat: Result := FloatToStr(GetFloatProp(Instance, Info));
    tkInteger, tkChar, tkWChar: Result := IntToStr(GetOrdProp(Instance, Info));
  else
    Result := GetStrProp(Instance, Info);
  end;
end;

procedure VkSetPropertyText(Instance: TPersistent; const Name, Value: string);
var
  Info: PPropInfo;
begin
  Info := GetPropInfo(Instance.ClassInfo, Name);
  case Info^.PropType^.Kind of
    tkEnumeration: SetEnumProp(Instance, Name, Value);
    tkSet: SetSetProp(Instance, Name, Value);
    tkFloat: SetFloatProp(Instance, Info, StrToFloat(Value));
    tkInteger, tkChar, tkWChar: SetOrdProp(Instance, Info, StrToInt(Value));
  else
    SetStrProp(Instance, Info, Value);
  end;
end;

end.
