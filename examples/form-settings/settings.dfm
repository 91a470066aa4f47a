object MainForm: TMainForm
  Caption = 'Holiday discs'
  object QueltBurner1: TQueltBurner
    VolumeLabel = 'HOLIDAY'
    Speed = 8
    Verify = True
    Synchronous = True
    OnSuccess = BurnerDone
    Left = 24
    Top = 16
  end
end
