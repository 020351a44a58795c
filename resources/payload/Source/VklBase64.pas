unit VklBase64;

{ Base64 for binary settings (TVkSettingsStore.WriteBinary stores streams as text). }

{$I Velkora.inc}

interface

function VkEncodeBase64(const Data: AnsiString): AnsiString;
function VkDecodeBase64(const Text: AnsiString): AnsiString;

implementation

const
  Alphabet: AnsiString = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';

function VkEncodeBase64(const Data: AnsiString): AnsiString;
var
  I, Bits, Count: Integer;
begin
  Result := '';
  Bits := 0;
  Count := 0;
  for I := 1 to Length(Data) do
  begin
    Bits := (Bits shl 8) or Ord(Data[I]);
    Inc(Count, 8);
    while Count >= 6 do
    begin
      Dec(Count, 6);
      Result := Result + Alphabet[((Bits shr Count) and 63) + 1];
    end;
  end;
  if Count > 0 then
    Result := Result + Alphabet[((Bits shl (6 - Count)) and 63) + 1];
  while Length(Result) mod 4 <> 0 do
    Result := Result + '=';
end;

function VkDecodeBase64(const Text: AnsiString): AnsiString;
var
  I, Bits, Count, Digit: Integer;
begin
  Result := '';
  Bits := 0;
  Count := 0;
  for I := 1 to Length(Text) do
  begin
    Digit := Pos(Text[I], Alphabet) - 1;
    if Digit < 0 then
      Continue;
    Bits := ((Bits shl 6) or Digit) and $FFFF;
    Inc(Count, 6);
    if Count >= 8 then
    begin
      Dec(Count, 8);
      Result := Result + AnsiChar((Bits shr Count) and 255);
    end;
  end;
end;

end.
