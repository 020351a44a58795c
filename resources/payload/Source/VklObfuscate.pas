unit VklObfuscate;

{ Hides values such as stored passwords from a casual look at the settings file. This is not
  encryption: it only keeps a value from being read over someone's shoulder. }

{$I Velkora.inc}

interface

function VkScramble(const Value, Key: AnsiString): AnsiString;
function VkUnscramble(const Value, Key: AnsiString): AnsiString;

implementation

uses
  VklBase64;

function Mix(const Value, Key: AnsiString): AnsiString;
var
  I: Integer;
begin
  Result := Value;
  if Key = '' then
    Exit;
  for I := 1 to Length(Result) do
    Result[I] := AnsiChar(Ord(Result[I]) xor Ord(Key[(I - 1) mod Length(Key) + 1]));
end;

function VkScramble(const Value, Key: AnsiString): AnsiString;
begin
  Result := VkEncodeBase64(Mix(Value, Key));
end;

function VkUnscramble(const Value, Key: AnsiString): AnsiString;
begin
  Result := Mix(VkDecodeBase64(Value), Key);
end;

end.
