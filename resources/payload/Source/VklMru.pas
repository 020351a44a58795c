unit VklMru;

{ A most-recently-used list (recent files, recent searches) kept in a settings section as
  Item1..ItemN. }

{$I Velkora.inc}

interface

uses
  Classes, VklStore;

procedure VkLoadMru(Store: TVkSettingsStore; const Section: string; Items: TStrings;
  MaxCount: Integer);
procedure VkSaveMru(Store: TVkSettingsStore; const Section: string; Items: TStrings);
procedure VkTouchMru(Items: TStrings; const Item: string; MaxCount: Integer);

implementation

uses
  SysUtils;

procedure VkLoadMru(Store: TVkSettingsStore; const Section: string; Items: TStrings;
  MaxCount: Integer);
var
  I: Integer;
  S: string;
begin
  Items.Clear;
  for I := 1 to MaxCount do
  begin
    S := Store.ReadString(Section, 'Item' + IntToStr(I), '');
    if S = '' then
      Break;
    Items.Add(S);
  end;
end;

procedure VkSaveMru(Store: TVkSettingsStore; const Section: string; Items: TStrings);
var
  I: Integer;
begin
  for I := 0 to Items.Count - 1 do
    Store.WriteString(Section, 'Item' + IntToStr(I + 1), Items[I]);
  Store.DeleteValue(Section, 'Item' + IntToStr(Items.Count + 1));
end;

procedure VkTouchMru(Items: TStrings; const Item: string; MaxCount: Integer);
var
  Index: Integer;
begin
  Index := Items.IndexOf(Item);
  if Index >= 0 then
    Items.Delete(Index);
  Items.Insert(0, Item);
  while Items.Count > MaxCount do
    Items.Delete(Items.Count - 1);
end;

end.
