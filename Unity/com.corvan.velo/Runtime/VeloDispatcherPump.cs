#if UNITY_5_3_OR_NEWER
using System;
using UnityEngine;

namespace Corvan.Velo.Unity
{
    /// <summary>Dispatches waiting results once a frame, on the main thread, within the frame's
    /// bounds (<see cref="ResultDispatcher.MaxResultsPerFrame"/>,
    /// <see cref="ResultDispatcher.FrameBudget"/>).</summary>
    internal sealed class VeloDispatcherPump : MonoBehaviour
    {
        private void Update()
        {
            try
            {
                ResultDispatcher.DispatchFrame();
            }
            catch (Exception e)
            {
                Debug.LogException(e);
            }
        }
    }
}
#endif
