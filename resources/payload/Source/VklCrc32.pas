unit VklCrc32;

{ CRC-32 (polynomial $EDB88320) that marks a settings file written by Velkora. }

{$I Velkora.inc}

interface

function VkCrc32(const Data: AnsiString): Cardinal;

implementation

function VkCrc32(const Data: AnsiString): Cardinal;
var
  I, Bit: Integer;
begin
  Result := $FFFFFFFF;
  for I := 1 to Length(Data) do
  begin
    Result := Result xor Ord(Data[I]);
    for Bit := 0 to 7 do
      if Odd(Result) then
        Result := (Result shr 1) xor $EDB88320
      else
        Result := Result shr 1;
  end;
  Result := not Result;
end;

end.
