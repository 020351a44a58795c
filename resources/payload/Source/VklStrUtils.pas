unit VklStrUtils;

{ Line helpers for INI text: "name=value" pairs and "[section]" headers. }

{$I Velkora.inc}

interface

function VkIsSectionHeader(const Line: string): Boolean;
function VkNamePart(const Line: string): string;
function VkValuePart(const Line: string): string;

implementation

uses
  SysUtils;

function VkIsSectionHeader(const Line: string): Boolean;
var
  S: string;
begin
  S := Trim(Line);
  Result := (Length(S) >= 2) and (S[1] = '[') and (S[Length(S)] = ']');
end;

function VkNamePart(const Line: string): string;
var
  P: Integer;
begin
  P := Pos('=', Line);
  if (P = 0) or (Copy(TrimLeft(Line), 1, 1) = ';') then
    Result := ''
  else
    Result := Trim(Copy(Line, 1, P - 1));
end;

function VkValuePart(const Line: string): string;
var
  P: Integer;
begin
  P := Pos('=', Line);
  if P = 0 then
    Result := ''
  else
    Result := Copy(Line, P + 1, MaxInt);
end;

end.
