// CPlayerApp comes here.
