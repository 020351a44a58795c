unit VklConvert;

{ Conversions between setting texts and typed values. }

{$I Velkora.inc}

interface

function VkTextToInt(const Text: string; Default: Integer): Integer;
function VkTextToBool(const Text: string; Default: Boolean): Boolean;
function VkBoolToText(Value: Boolean): string;

implementation

uses
  SysUtils;

function VkTextToInt(const Text: string; Default: Integer): Integer;
var
  Code: Integer;
begin
  Val(Trim(Text), Result, Code);
  if Code <> 0 then
    Result := Default;
end;

function VkTextToBool(const Text: string; Default: Boolean): Boolean;
var
  S: string;
begin
  S := LowerCase(Trim(Text));
  if (S = '1') or (S = 'true') or (S = 'yes') then
    Result := True
  else if (S = '0') or (S = 'false') or (S = 'no') then
    Result := False
  else
    Result := Default;
end;

function VkBoolToText(Value: Boolean): string;
begin
  if Value then
    Result := '1'
  else
    Result := '0';
end;

end.
