unit VklConsts;

{ Texts and limits shared by the Velkora units. }

{$I Velkora.inc}

interface

const
  VklVersion = '4.07';
  VklDefaultSection = 'Settings';
  VklMaxValueLength = 32767;
  VklPalettePage = 'Velkora';

resourcestring
  SVklNoStore = 'No settings store is assigned to %s';
  SVklReadError = 'Cannot read setting "%s" of section "%s"';
  SVklWriteError = 'Cannot write setting "%s" of section "%s"';
  SVklBadValue = 'Setting "%s" holds no valid %s value';
  SVklKeyOpenError = 'Cannot open the registry key %s';
  SVklLocked = 'The settings store is locked by another operation';

implementation

end.
